#include "ui/AfterModalWindows.h"

#include <QApplication>
#include <QEvent>
#include <QTimer>
#include <QWidget>

namespace {
const QString WaiterName = QStringLiteral("nachModalenFenstern");

// Lives as a child of the window until the window is no longer blocked by a modal one.
class ModalEndWaiter : public QObject {
public:
    ModalEndWaiter(QWidget& window, std::function<void()> then, const QString& name)
        : QObject(&window), m_then(std::move(then))
    {
        setObjectName(name);
        window.installEventFilter(this);
        // A modal window that blocks another window than this one never unblocks it: looked at now and then.
        m_look.setInterval(1000);
        connect(&m_look, &QTimer::timeout, this, &ModalEndWaiter::runWhenFree);
        m_look.start();
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        // The command that opened the modal window goes on after it closes: it follows its own changes first
        // (an editor's), and what came from elsewhere is followed after it.
        if (event->type() == QEvent::WindowUnblocked)
            QTimer::singleShot(0, this, &ModalEndWaiter::runWhenFree);
        return QObject::eventFilter(watched, event);
    }

private:
    void runWhenFree()
    {
        if (QApplication::activeModalWidget() || m_done)
            return;
        m_done = true;
        m_look.stop();
        setObjectName(QString()); // a request from here on waits anew
        deleteLater();
        m_then();
    }

    std::function<void()> m_then;
    QTimer m_look;
    bool m_done = false;
};
} // namespace

void afterModalWindows(QWidget& window, const std::function<void()>& then, const QString& purpose)
{
    if (!QApplication::activeModalWidget()) {
        then();
        return;
    }
    const QString name = WaiterName + purpose;
    if (window.findChild<QObject*>(name, Qt::FindDirectChildrenOnly))
        return;
    new ModalEndWaiter(window, then, name);
}
