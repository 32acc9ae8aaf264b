#pragma once

#include <QElapsedTimer>
#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QTimer>

class QWidget;

// Tells screen readers, once, what a step did ("KONT 09:10 entfernt"). Qt 6.4 has no announcement
// event, and the description and name changes it sends do not carry the new text (Orca 43 cannot speak
// them). What Orca speaks at once, wherever its focus is, is a notification that appears: each text
// appears as a notification of the window that has the focus. While a dialog is closing, the text
// waits until the focus is back in a window and has stopped moving: Orca drops what it has not yet
// spoken when the focus moves on. A text that comes just after the focus left a window waits a
// moment too: a busy Orca is then still reading the events of both windows, and drops a notification
// that arrives in a long queue of them.
class Announcer : public QObject {
    Q_OBJECT
public:
    explicit Announcer(QObject* parent = nullptr);
    ~Announcer() override;

    void announce(const QString& text);
    // Whether a text waits for the focus to settle.
    bool isWaiting() const { return !m_pending.isEmpty(); }

private:
    void deliver();

    QStringList m_pending;
    // Runs while a waiting text sees the focus move, until the focus has settled.
    QTimer m_settling;
    // Since the focus last left a window.
    QElapsedTimer m_sinceWindowChange;
    // The notifications shown last; the screen reader reads each one a moment after it appeared.
    QList<unsigned> m_shown;
};
