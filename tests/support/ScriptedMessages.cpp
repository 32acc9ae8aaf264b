#include "ScriptedMessages.h"

#include "SecretScan.h"

#include <QWidget>
#include <QtTest>

namespace {
void scan(const MessageRequest& request)
{
    SecretScan::check(request.text, "a message box");
    SecretScan::check(request.title, "a message box's title");
    if (request.parent)
        SecretScan::check(request.parent->window()->windowTitle(), "a window title");
}
} // namespace

QMessageBox::StandardButton ScriptedMessages::show(const MessageRequest& request)
{
    scan(request);
    m_shown.append(request);
    if (m_answers.isEmpty()) {
        QTest::qFail(qPrintable(QStringLiteral("Unexpected message box: [%1] %2").arg(request.title, request.text)),
                     __FILE__, __LINE__);
        return QMessageBox::NoButton;
    }
    return m_answers.takeFirst();
}

int ScriptedMessages::choose(const MessageRequest& request)
{
    scan(request);
    m_shown.append(request);
    if (m_choices.isEmpty()) {
        QTest::qFail(qPrintable(QStringLiteral("Unexpected choice box: [%1] %2").arg(request.title, request.text)),
                     __FILE__, __LINE__);
        return -1;
    }
    const auto [index, meanwhile] = m_choices.takeFirst();
    if (meanwhile)
        meanwhile();
    return index;
}

MessageRequest ScriptedMessages::last() const
{
    if (m_shown.isEmpty()) {
        QTest::qFail("No message box was shown", __FILE__, __LINE__);
        return {};
    }
    return m_shown.last();
}

void ScriptedMessages::clear()
{
    m_shown.clear();
    m_answers.clear();
    m_choices.clear();
}
