#include "ui/MessageService.h"

void MessageService::inform(QWidget* parent, const QString& text, const QString& title, QMessageBox::Icon icon)
{
    show({text, title, icon, QMessageBox::Ok, QMessageBox::Ok, parent});
}

bool MessageService::askYesNo(QWidget* parent, const QString& text, const QString& title,
                              QMessageBox::StandardButton defaultButton)
{
    return show({text, title, QMessageBox::Question, QMessageBox::Yes | QMessageBox::No, defaultButton, parent}) ==
           QMessageBox::Yes;
}

QMessageBox::StandardButton QtMessageService::show(const MessageRequest& request)
{
    // Texts carry a single CR as line break, which the label would not break on.
    QString text = request.text;
    text.replace(QLatin1String("\r\n"), QLatin1String("\n")).replace(QLatin1Char('\r'), QLatin1Char('\n'));
    QMessageBox box(request.icon, request.title, text, request.buttons, request.parent);
    if (request.defaultButton != QMessageBox::NoButton)
        box.setDefaultButton(request.defaultButton);
    return static_cast<QMessageBox::StandardButton>(box.exec());
}
