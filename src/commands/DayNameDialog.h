#pragma once

#include <QDialog>

class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;
struct AppServices;
struct LunarisState;

// The layout both day-name dialogs share: the stored names in a list, a name box below it, and the
// buttons OK and Abbrechen at the right. Abbrechen is the default and the cancel button, so Enter
// and Esc cancel; OK has to be clicked.
class DayNameDialog : public QDialog {
    Q_OBJECT
public:
    QListWidget* list() const { return m_list; }
    QLineEdit* nameBox() const { return m_nameBox; }
    QPushButton* okButton() const { return m_ok; }
    QPushButton* cancelButton() const { return m_cancel; }
    // Reads the list of stored days again (another workstation changed it).
    void refreshList();

protected:
    DayNameDialog(LunarisState& state, AppServices& services, QWidget* mainWindow, const QString& caption,
                  const QString& nameLabel, const QString& nameBoxName);

    // Fills the list with the stored day names, in table order.
    void Form_Load();
    // Whether a typed name may become a new day. A name that is blanks only, or begins or ends with
    // a blank, would look like another name in the list (or like none); it is refused with a message.
    // The dialog stays open with the name in the box, to be corrected.
    bool acceptNewName(const QString& name);
    virtual void cmdOK_Click() = 0;
    virtual void cmdAbbrechen_Click() = 0;

    LunarisState& m_state;
    AppServices& m_services;
    QWidget* m_mainWindow;

private:
    QLabel* m_listLabel;
    QListWidget* m_list;
    QLabel* m_nameLabel;
    QLineEdit* m_nameBox;
    QPushButton* m_ok;
    QPushButton* m_cancel;
};
