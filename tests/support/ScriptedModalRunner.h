#pragma once

#include "ui/ModalRunner.h"

#include <QDialog>
#include <QList>
#include <QStringList>

#include <functional>

// A modal-window seam for tests: shows the real dialog (not modal, no nested event loop) and lets
// a queued handler drive it: type, click OK, close. A dialog nobody queued a handler for, or one
// the handler left open, fails the running test and is rejected.
class ScriptedModalRunner : public ModalRunner {
public:
    using Handler = std::function<void(QDialog&)>;

    int run(QDialog& dialog) override;

    void handleNext(Handler handler) { m_handlers.append(std::move(handler)); }
    // Object names of every dialog shown so far, in order.
    const QStringList& shownDialogs() const { return m_shown; }
    int pendingHandlers() const { return int(m_handlers.size()); }

private:
    QList<Handler> m_handlers;
    QStringList m_shown;
};
