#pragma once

#include <QWidget>

class QLabel;
class QToolButton;

// The navigation bar of a record editor: first, previous, next and last record, with a caption
// between them. It only asks; the editor decides whether the move happens.
class RecordNavigator : public QWidget {
    Q_OBJECT
public:
    explicit RecordNavigator(QWidget* parent = nullptr);

    QString caption() const;
    // First, previous, next, last.
    const QList<QToolButton*>& buttons() const { return m_buttons; }
    void setCaption(const QString& caption);

signals:
    void firstRequested();
    void previousRequested();
    void nextRequested();
    void lastRequested();

private:
    QToolButton* addButton(const QString& name, const QString& text, const QString& toolTip);

    QLabel* m_caption;
    QList<QToolButton*> m_buttons;
};
