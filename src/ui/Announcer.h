#pragma once

#include <QList>
#include <QObject>
#include <QString>
#include <QTimer>

class QWidget;

// Tells screen readers, once, what a step did ("KONT 09:10 entfernt"). Qt 6.4 has no announcement
// event, and the description and name changes it sends do not carry the new text (Orca 43 cannot speak
// them). What Orca speaks at once, wherever its focus is, is a notification that appears: each text
// appears as a notification of the window that has the focus. While a dialog is closing, the text
// waits until the focus is back in a window and has stopped moving: Orca drops what it has not yet
// spoken when the focus moves on.
class Announcer : public QObject {
    Q_OBJECT
public:
    explicit Announcer(QObject* parent = nullptr);
    ~Announcer() override;

    void announce(const QString& text);

private:
    void deliver();

    QString m_pending;
    // Runs while a waiting text sees the focus move, until the focus has settled.
    QTimer m_settling;
    // The notifications shown last; the screen reader reads each one a moment after it appeared.
    QList<unsigned> m_shown;
};
