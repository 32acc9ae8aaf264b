#pragma once

#include <QMessageBox>
#include <QString>
#include <QStringList>

class QWidget;

// Everything a message box shows. Texts are used exactly as given (a single CR stays a CR).
struct MessageRequest {
    QString text;
    QString title;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    QMessageBox::StandardButtons buttons = QMessageBox::Ok;
    QMessageBox::StandardButton defaultButton = QMessageBox::NoButton;
    QWidget* parent = nullptr;
    // A box with buttons of its own texts instead of standard ones (see MessageService::choose):
    // the index of the default one; the last one is the way out (Esc, the close box).
    QStringList choices{};
    int defaultChoice = 0;
};

// Every message box of the program goes through this seam; tests replace it with a scripted one.
class MessageService {
public:
    virtual ~MessageService() = default;
    // Shows the box and returns the button that closed it.
    virtual QMessageBox::StandardButton show(const MessageRequest& request) = 0;

    // Shows a box whose buttons carry the request's choices and returns the index of the one clicked
    // (the last one when the box is closed otherwise). Unless replaced: none chosen, -1.
    virtual int choose(const MessageRequest& request);

    // Shorthands for the two common shapes.
    void inform(QWidget* parent, const QString& text, const QString& title, QMessageBox::Icon icon);
    bool askYesNo(QWidget* parent, const QString& text, const QString& title,
                  QMessageBox::StandardButton defaultButton = QMessageBox::Yes);
};

// The program's implementation: a real QMessageBox.
class QtMessageService : public MessageService {
public:
    QMessageBox::StandardButton show(const MessageRequest& request) override;
    int choose(const MessageRequest& request) override;
};
