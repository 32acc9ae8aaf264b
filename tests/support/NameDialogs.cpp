#include "NameDialogs.h"

#include <QLineEdit>
#include <QPushButton>
#include <QtTest>

ScriptedModalRunner::Handler typeAndClickOk(const QString& boxName, const QString& text)
{
    return [boxName, text](QDialog& d) {
        d.findChild<QLineEdit*>(boxName)->setText(text);
        QTest::mouseClick(d.findChild<QPushButton*>(QStringLiteral("cmdOK")), Qt::LeftButton);
    };
}

ScriptedModalRunner::Handler saveAs(const QString& name)
{
    return typeAndClickOk(QStringLiteral("txtName"), name);
}

ScriptedModalRunner::Handler openName(const QString& name)
{
    return typeAndClickOk(QStringLiteral("txtIdealtag"), name);
}

ScriptedModalRunner::Handler clickCancel()
{
    return [](QDialog& d) {
        QTest::mouseClick(d.findChild<QPushButton*>(QStringLiteral("cmdAbbrechen")), Qt::LeftButton);
    };
}
