#pragma once

#include <QObject>

#include <functional>

class OpenDay;
class QAction;
class QMenu;
class QWidget;
struct AppServices;
struct LunarisState;

// Bearbeiten → "Arztzeit ausgleichen..." and "Tag füllen...": each shows its dialog for the open day and applies
// the answer the user takes as one undoable step, and tells screen readers what it did.
class BalanceCommands : public QObject {
    Q_OBJECT
public:
    // `announce`: hands a sentence to the screen reader.
    BalanceCommands(OpenDay& day, LunarisState& state, AppServices& services, QWidget* window,
                    std::function<void(const QString&)> announce);

    // Puts both items into the menu in front of `before`; they are enabled when a day is open and the practice
    // can be written, which the menu checks each time it opens.
    void addTo(QMenu* menu, QAction* before);
    void followState();

    void mnuEditAusgleichen_Click();
    void mnuEditFuellen_Click();

    QAction* balanceAction() const { return m_balance; }
    QAction* fillAction() const { return m_fill; }

private:
    void run(bool fill);

    OpenDay& m_day;
    LunarisState& m_state;
    AppServices& m_services;
    QWidget* m_window;
    std::function<void(const QString&)> m_announce;
    QAction* m_balance = nullptr;
    QAction* m_fill = nullptr;
};
