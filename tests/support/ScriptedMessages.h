#pragma once

#include "ui/MessageService.h"

#include <QList>

// A message seam for tests: records every box and answers from a queue. A box that no answer was
// queued for fails the running test (and is answered with NoButton).
class ScriptedMessages : public MessageService {
public:
    QMessageBox::StandardButton show(const MessageRequest& request) override;

    // Queues the answer for the next box.
    void answer(QMessageBox::StandardButton button) { m_answers.append(button); }
    // Every box shown so far.
    const QList<MessageRequest>& shown() const { return m_shown; }
    // The most recent box; fails the test when none was shown.
    MessageRequest last() const;
    int pendingAnswers() const { return int(m_answers.size()); }
    void clear();

private:
    QList<MessageRequest> m_shown;
    QList<QMessageBox::StandardButton> m_answers;
};
