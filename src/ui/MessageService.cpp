#include "ui/MessageService.h"

#include "ui/WindowFocus.h"

#include <QCloseEvent>
#include <QKeyEvent>
#include <QPushButton>

#include <bitset>
#include <memory>

namespace {
// A box that asks a question without offering a way out (Ja/Nein) has to be answered: Esc and the
// close box do nothing. Qt would otherwise make "Nein" the escape button, so Esc would answer "Nein".
class AnswerRequiredBox : public QMessageBox {
public:
    using QMessageBox::QMessageBox;

protected:
    void keyPressEvent(QKeyEvent* event) override
    {
        if (event->matches(QKeySequence::Cancel)) {
            event->accept();
            return;
        }
        QMessageBox::keyPressEvent(event);
    }
    // A click on a button closes the box without a close event; this one comes from the close box
    // or the window system.
    void closeEvent(QCloseEvent* event) override { event->ignore(); }
};

// Only a Cancel button, or the single button of a plain message, is a way out of a box.
bool hasWayOut(QMessageBox::StandardButtons buttons)
{
    const auto count = std::bitset<32>(buttons.toInt()).count();
    return count <= 1 || buttons.testFlag(QMessageBox::Cancel);
}

// Texts carry a single CR as line break, which the label would not break on.
QString shownText(const QString& text)
{
    return QString(text)
        .replace(QLatin1String("\r\n"), QLatin1String("\n"))
        .replace(QLatin1Char('\r'), QLatin1Char('\n'));
}
} // namespace

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

int MessageService::choose(const MessageRequest&)
{
    return -1;
}

int QtMessageService::choose(const MessageRequest& request)
{
    QMessageBox box(request.icon, request.title, shownText(request.text), QMessageBox::NoButton, request.parent);
    box.setTextFormat(Qt::PlainText);
    QList<QAbstractButton*> buttons;
    for (qsizetype i = 0; i < request.choices.size(); ++i) {
        const bool wayOut = i == request.choices.size() - 1;
        buttons.append(box.addButton(request.choices[i], wayOut ? QMessageBox::RejectRole : QMessageBox::ActionRole));
    }
    if (request.defaultChoice >= 0 && request.defaultChoice < buttons.size())
        box.setDefaultButton(qobject_cast<QPushButton*>(buttons[request.defaultChoice]));
    if (!buttons.isEmpty())
        box.setEscapeButton(buttons.last());
    box.exec();
    returnFocusTo(request.parent);
    const qsizetype chosen = buttons.indexOf(box.clickedButton());
    return int(chosen < 0 ? buttons.size() - 1 : chosen);
}

QMessageBox::StandardButton QtMessageService::show(const MessageRequest& request)
{
    const QString text = shownText(request.text);
    std::unique_ptr<QMessageBox> box =
        hasWayOut(request.buttons)
            ? std::make_unique<QMessageBox>(request.icon, request.title, text, request.buttons, request.parent)
            : std::make_unique<AnswerRequiredBox>(request.icon, request.title, text, request.buttons, request.parent);
    // Names and codes come from the data; a "<b>" in them is shown as typed.
    box->setTextFormat(Qt::PlainText);
    if (request.defaultButton != QMessageBox::NoButton)
        box->setDefaultButton(request.defaultButton);
    const auto answer = static_cast<QMessageBox::StandardButton>(box->exec());
    returnFocusTo(request.parent);
    return answer;
}
