#include "ScriptedModalRunner.h"

#include <QtTest>

int ScriptedModalRunner::run(QDialog& dialog)
{
    m_shown.append(dialog.objectName());
    dialog.show();
    QCoreApplication::processEvents();
    if (m_handlers.isEmpty()) {
        QTest::qFail(qPrintable(QStringLiteral("Unexpected dialog: %1").arg(dialog.objectName())), __FILE__, __LINE__);
        dialog.reject();
        return dialog.result();
    }
    m_handlers.takeFirst()(dialog);
    if (dialog.isVisible()) {
        QTest::qFail(qPrintable(QStringLiteral("Dialog left open: %1").arg(dialog.objectName())), __FILE__, __LINE__);
        dialog.reject();
    }
    return dialog.result();
}
