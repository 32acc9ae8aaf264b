#pragma once

#include "ui/MessageService.h"

#include <QList>

#include <functional>

// A message seam for tests: records every box and answers from a queue. A box that no answer was
// queued for fails the running test (and is answered with NoButton).
class ScriptedMessages : public MessageService {
public:
    QMessageBox::StandardButton show(const MessageRequest& request) override;
    int choose(const MessageRequest& request) override;

    // Queues the answer for the next box.
    void answer(QMessageBox::StandardButton button) { m_answers.append(button); }
    // Queues the choice (the index of a button) for the next box with buttons of its own; the action,
    // if any, runs before the answer is given (as what happens while the box waits).
    void answerChoice(int index, std::function<void()> meanwhile = {})
    {
        m_choices.append({index, std::move(meanwhile)});
    }
    // Every box shown so far.
    const QList<MessageRequest>& shown() const { return m_shown; }
    // The most recent box; fails the test when none was shown.
    MessageRequest last() const;
    int pendingAnswers() const { return int(m_answers.size() + m_choices.size()); }
    void clear();

private:
    QList<MessageRequest> m_shown;
    QList<QMessageBox::StandardButton> m_answers;
    QList<QPair<int, std::function<void()>>> m_choices;
};
