#include "TestMain.h"
#include "ui/MessageService.h"
#include "ui/ModalRunner.h"

#include <QAbstractButton>
#include <QDialog>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>
#include <QWindow>

#include <functional>

namespace {
// Shows a box through the program's own message seam (a real QMessageBox, run modally) and lets
// `drive` act on it as a user would once it is on screen. Returns the answer the seam gave.
template <class Show> auto driveWhileShown(Show show, std::function<void(QMessageBox&)> drive)
{
    QTimer poll;
    poll.setInterval(10);
    QObject::connect(&poll, &QTimer::timeout, [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (!box || !box->isVisible())
            return;
        poll.stop();
        drive(*box);
    });
    poll.start();
    return show();
}

QMessageBox::StandardButton showAndDrive(const MessageRequest& request, std::function<void(QMessageBox&)> drive)
{
    QtMessageService service;
    return driveWhileShown([&] { return service.show(request); }, std::move(drive));
}

// Sends what the window system sends for the close box (or Alt+F4).
void closeBox(QMessageBox& box)
{
    box.windowHandle()->close();
    QCoreApplication::processEvents();
}

void pressEscape(QMessageBox& box)
{
    QTest::keyClick(&box, Qt::Key_Escape);
    QCoreApplication::processEvents();
}
} // namespace

class TestMessages : public QObject {
    Q_OBJECT
private slots:
    void questionsHaveToBeAnswered_data();
    void questionsHaveToBeAnswered();
    void abbrechenIsTheWayOut_data();
    void abbrechenIsTheWayOut();
    void plainMessagesCloseWithEsc();
    void dataIsShownAsPlainText();
    void choicesHaveTheirOwnButtons_data();
    void choicesHaveTheirOwnButtons();
    void theOwnerHasTheKeyboardBack_data();
    void theOwnerHasTheKeyboardBack();
};

void TestMessages::questionsHaveToBeAnswered_data()
{
    QTest::addColumn<bool>("escape"); // Esc, else the close box
    QTest::addColumn<int>("answer");
    QTest::newRow("Esc, then Ja") << true << int(QMessageBox::Yes);
    QTest::newRow("Esc, then Nein") << true << int(QMessageBox::No);
    QTest::newRow("close box, then Ja") << false << int(QMessageBox::Yes);
    QTest::newRow("close box, then Nein") << false << int(QMessageBox::No);
}

void TestMessages::questionsHaveToBeAnswered()
{
    QFETCH(bool, escape);
    QFETCH(int, answer);
    bool stillOpen = false;
    const MessageRequest question{"Möchten Sie Speichern?", "Lunaris", QMessageBox::Question,
                                  QMessageBox::Yes | QMessageBox::No, QMessageBox::Yes};
    const auto result = showAndDrive(question, [&](QMessageBox& box) {
        QCOMPARE(box.buttons().size(), 2);
        QCOMPARE(box.button(QMessageBox::Yes)->text(), QString("&Ja"));
        escape ? pressEscape(box) : closeBox(box);
        stillOpen = box.isVisible();
        // The escape must not have been taken as an answer either.
        escape ? pressEscape(box) : closeBox(box);
        stillOpen = stillOpen && box.isVisible();
        QTest::mouseClick(box.button(QMessageBox::StandardButton(answer)), Qt::LeftButton);
    });
    QVERIFY(stillOpen);
    QCOMPARE(int(result), answer);
}

void TestMessages::abbrechenIsTheWayOut_data()
{
    QTest::addColumn<bool>("escape"); // Esc, else the close box
    QTest::newRow("Esc") << true;
    QTest::newRow("close box") << false;
}

void TestMessages::abbrechenIsTheWayOut()
{
    QFETCH(bool, escape);
    const MessageRequest question{"Möchten Sie noch Speichern?", "Lunaris", QMessageBox::Question,
                                  QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel, QMessageBox::Yes};
    QString cancelText;
    const auto result = showAndDrive(question, [&](QMessageBox& box) {
        cancelText = box.button(QMessageBox::Cancel)->text();
        escape ? pressEscape(box) : closeBox(box);
    });
    QCOMPARE(cancelText, QString("Abbrechen"));
    QCOMPARE(result, QMessageBox::Cancel);
}

void TestMessages::plainMessagesCloseWithEsc()
{
    const MessageRequest message{"Termine überlappen!", "Lunaris", QMessageBox::NoIcon, QMessageBox::Ok,
                                 QMessageBox::Ok};
    QCOMPARE(showAndDrive(message, pressEscape), QMessageBox::Ok);
    QCOMPARE(showAndDrive(message, closeBox), QMessageBox::Ok);
}

void TestMessages::dataIsShownAsPlainText()
{
    // A day name with markup, in a question; a CR still breaks the line.
    const QString text = "Möchten Sie den Tag <b>fett</b> &amp; <i>mehr</i>\rlöschen?";
    QString shown;
    Qt::TextFormat format = Qt::AutoText;
    showAndDrive({text, "Idealtag löschen", QMessageBox::Question, QMessageBox::Yes | QMessageBox::No},
                 [&](QMessageBox& box) {
                     format = box.textFormat();
                     for (const QLabel* label : box.findChildren<QLabel*>())
                         if (label->text().contains("fett"))
                             shown = label->text();
                     QTest::mouseClick(box.button(QMessageBox::No), Qt::LeftButton);
                 });
    QCOMPARE(format, Qt::PlainText);
    QCOMPARE(shown, QString("Möchten Sie den Tag <b>fett</b> &amp; <i>mehr</i>\nlöschen?"));
}

void TestMessages::choicesHaveTheirOwnButtons_data()
{
    QTest::addColumn<int>("click"); // the button clicked; -1: Esc, -2: the close box
    QTest::addColumn<int>("answer");
    QTest::newRow("Erneut versuchen") << 0 << 0;
    QTest::newRow("Verbindung ändern...") << 1 << 1;
    QTest::newRow("Beenden") << 2 << 2;
    QTest::newRow("Esc is the last choice") << -1 << 2;
    QTest::newRow("the close box too") << -2 << 2;
}

void TestMessages::choicesHaveTheirOwnButtons()
{
    QFETCH(int, click);
    QtMessageService service;
    MessageRequest request{"Der Server ist nicht erreichbar.", "Lunaris", QMessageBox::Critical};
    request.choices = {"Erneut versuchen", "Verbindung ändern...", "Beenden"};
    QStringList texts;
    QString defaultText;
    const int answer = driveWhileShown([&] { return service.choose(request); },
                                       [&](QMessageBox& box) {
                                           for (QAbstractButton* button : box.buttons())
                                               texts.append(button->text());
                                           defaultText = box.defaultButton()->text();
                                           if (click == -1)
                                               pressEscape(box);
                                           else if (click == -2)
                                               closeBox(box);
                                           else
                                               for (QAbstractButton* button : box.buttons())
                                                   if (button->text() == request.choices[click])
                                                       QTest::mouseClick(button, Qt::LeftButton);
                                       });
    QTEST(answer, "answer");
    texts.sort();
    QCOMPARE(texts, QStringList({"Beenden", "Erneut versuchen", "Verbindung ändern..."}));
    QCOMPARE(defaultText, "Erneut versuchen");
}

void TestMessages::theOwnerHasTheKeyboardBack_data()
{
    QTest::addColumn<QString>("modal");
    QTest::newRow("message") << "message";
    QTest::newRow("choice") << "choice";
    QTest::newRow("dialog") << "dialog";
}

// Once a message or a dialog closes, the window it belongs to has the keyboard again: its shortcuts work at
// once, without a click into it first.
void TestMessages::theOwnerHasTheKeyboardBack()
{
    QFETCH(QString, modal);
    QWidget owner;
    owner.resize(320, 200);
    owner.show();
    owner.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&owner));
    QTimer poll;
    poll.setInterval(10);
    QObject::connect(&poll, &QTimer::timeout, [&] {
        QWidget* shown = QApplication::activeModalWidget();
        if (!shown || !shown->isVisible())
            return;
        poll.stop();
        QTest::keyClick(shown, Qt::Key_Escape);
    });
    poll.start();
    QtMessageService messages;
    if (modal == "message") {
        messages.inform(&owner, "Gespeichert.", "Lunaris", QMessageBox::Information);
    } else if (modal == "choice") {
        MessageRequest request{"Der Server ist nicht erreichbar.", "Lunaris", QMessageBox::Critical};
        request.parent = &owner;
        request.choices = {"Erneut versuchen", "Beenden"};
        QCOMPARE(messages.choose(request), 1);
    } else {
        QDialog dialog(&owner);
        QCOMPARE(ExecModalRunner().run(dialog), int(QDialog::Rejected));
    }
    QVERIFY(!poll.isActive());
    QTRY_COMPARE(QApplication::activeWindow(), &owner);
}

LUNARIS_TEST_MAIN(TestMessages)
#include "tst_messages.moc"
