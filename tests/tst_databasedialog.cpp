#include "DayEdits.h"
#include "FalseServer.h"
#include "FaultProxy.h"
#include "MainWindowFixture.h"
#include "ServerServices.h"
#include "TempDatabase.h"
#include "TestContext.h"
#include "TestMain.h"
#include "TestPaths.h"
#include "TestServer.h"
#include "app/Program.h"
#include "settings/ConnectionSettingStore.h"
#include "settings/frmDatenbank.h"
#include "store/Database.h"
#include "store/PasswordFile.h"
#include "store/ServerConnection.h"

#include <QCryptographicHash>
#include <QRegularExpression>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QTime>

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>

namespace {
const QString Copying = QStringLiteral("Die Daten werden auf den Server „%1“ übertragen...");

QLineEdit* field(QWidget& dialog, const char* name)
{
    auto* box = dialog.findChild<QLineEdit*>(QLatin1String(name));
    if (!box)
        qFatal("no field %s", name);
    return box;
}

QRadioButton* option(QWidget& dialog, const char* name)
{
    return dialog.findChild<QRadioButton*>(QLatin1String(name));
}

void click(QWidget& dialog, const char* name)
{
    dialog.findChild<QPushButton*>(QLatin1String(name))->click();
}

// Chooses the server and types its address and the password into the dialog.
void typeServer(QWidget& dialog, const ServerAddress& address, const QString& password)
{
    option(dialog, "optServer")->click();
    field(dialog, "txtServer")->setText(address.host);
    field(dialog, "txtPort")->setText(QString::number(address.port));
    field(dialog, "txtDatenbank")->setText(address.database);
    field(dialog, "txtBenutzer")->setText(address.user);
    field(dialog, "txtPasswort")->setText(password);
    // The test server's certificate names "localhost": a login to 127.0.0.1 is encrypted without the check.
    const QString mode = address.option("sslmode");
    option(dialog, mode == "verify-full" ? "optPruefen"
                   : mode == "disable"   ? "optUnverschluesselt"
                                         : "optVerschluesselt")
        ->click();
    field(dialog, "txtZertifikat")->setText(address.option("sslrootcert"));
}

// The progress window that a connection test or a copy shows while it runs in its worker: checked, and
// left alone (or, with stop, "Abbrechen" clicked) until the job has ended and closed it.
void awaitJob(ScriptedModalRunner& modals, const QString& label, bool stop = false)
{
    modals.handleNext([label, stop](QDialog& window) {
        QCOMPARE(window.objectName(), "frmFortschritt");
        QCOMPARE(window.windowTitle(), "Datenbank");
        QCOMPARE(window.findChild<QLabel*>()->text(), label);
        auto* cancel = window.findChild<QPushButton*>("cmdAbbrechen");
        QCOMPARE(cancel->text(), "Abbrechen");
        if (stop) {
            cancel->click();
            QCOMPARE(window.findChild<QLabel*>()->text(), "Wird abgebrochen...");
        }
        // The window's thread is free meanwhile: it closes the window when the job ends.
        QTRY_VERIFY_WITH_TIMEOUT(!window.isVisible(), 60000);
    });
}

QString fileText(const QString& path)
{
    QFile file(path);
    // As text: Windows writes its text files with \r\n.
    return file.open(QIODevice::ReadOnly | QIODevice::Text) ? QString::fromUtf8(file.readAll()) : QString();
}

// The values of a query on the server, row by row, each row joined with '|'.
QStringList serverRows(const QString& sql)
{
    const QString name = QStringLiteral("lunaris-test-rows");
    QStringList rows;
    {
        QSqlDatabase db = ServerConnection::open(TestServer::adminAddress("kavemo"), name, TestServer::password());
        QSqlQuery q(db);
        if (!q.exec(sql))
            qFatal("%s: %s", qPrintable(sql), qPrintable(q.lastError().text()));
        while (q.next()) {
            QStringList values;
            for (int i = 0; i < q.record().count(); ++i)
                values.append(q.isNull(i) ? QStringLiteral("NULL") : q.value(i).toString());
            rows.append(values.join('|'));
        }
    }
    QSqlDatabase::removeDatabase(name);
    return rows;
}

void serverExec(const QString& sql)
{
    serverRows(sql + QStringLiteral("; SELECT 1"));
}

QByteArray fileHash(const QString& path)
{
    QFile file(path);
    file.open(QIODevice::ReadOnly);
    return QCryptographicHash::hash(file.readAll(), QCryptographicHash::Sha256);
}

const QString Tables = QStringLiteral(
    "SELECT table_name FROM information_schema.tables WHERE table_schema = 'public' ORDER BY table_name");

const QString Restart = QStringLiteral("Das Programm muss neu gestartet werden\rdamit die Änderungen wirksam werden.");
} // namespace

class TestDatabaseDialog : public QObject {
    Q_OBJECT
private slots:
    void init();
    void openedFromTheEditMenu();
    void showsTheStoredSetting_data();
    void showsTheStoredSetting();
    void okWritesSettingAndPassword_data();
    void okWritesSettingAndPassword();
    void okRefusesIncompleteServer_data();
    void okRefusesIncompleteServer();
    void encryptionChoice_data();
    void encryptionChoice();
    void connectionTest_data();
    void connectionTest();
    void serverTablesCreatedUsedOrRefused_data();
    void serverTablesCreatedUsedOrRefused();
    void transferCopiesThePracticeOnce();
    void transferNamesTheRefusedRow();
    void transferStoppedWritesNothing();
    void transferWaitsBoundedForAnotherWorkstation_data();
    void transferWaitsBoundedForAnotherWorkstation();
    void connectionTestStoppedOnADeadPath();
    void noPasswordToAFalseServer_data();
    void noPasswordToAFalseServer();

private:
    // Runs the dialog through the modal seam and lets drive() act on it; leaves it like Cancel.
    template <class Drive> int runDialog(TestContext& ctx, const QString& running, Drive drive)
    {
        frmDatenbank dialog(ctx.services, running, m_practiceFile);
        ctx.modals.handleNext([&](QDialog& shown) {
            drive(shown);
            if (shown.isVisible())
                shown.reject();
        });
        return ctx.modals.run(dialog);
    }

    QTemporaryDir m_home;
    QString m_practiceFile = m_home.filePath("Kavemo.mdb");
};

void TestDatabaseDialog::init()
{
    // Never the user's own password file.
    qputenv("PGPASSFILE", m_home.filePath("pgpass").toUtf8());
    QFile::remove(m_home.filePath("pgpass"));
}

void TestDatabaseDialog::openedFromTheEditMenu()
{
    MainWindowFixture f(2);
    f.start();
    QStringList items;
    for (const QAction* item : f.window->findChild<QMenu*>("mnuEdit")->actions())
        items.append(item->isSeparator() ? "-" : item->text());
    QCOMPARE(items, QStringList({"&Rückgängig", "&Wiederherstellen", "Arztzeit &ausgleichen...", "Tag &füllen...", "-",
                                 "Behandlungskürzel bearbeiten...", "Stühle bearbeiten...", "-",
                                 "Einstellungen bearbeiten...", "Datenbank..."}));
    QString title;
    QStringList choices;
    f.ctx.modals.handleNext([&](QDialog& shown) {
        title = shown.windowTitle();
        choices = {option(shown, "optDatei")->text(), option(shown, "optServer")->text(),
                   shown.findChild<QPushButton*>("cmdTest")->text()};
        shown.reject();
    });
    f.action("mnuDatenbank")->trigger();
    QCOMPARE(f.ctx.modals.shownDialogs().last(), "frmDatenbank");
    QCOMPARE(title, "Datenbank");
    QCOMPARE(choices, QStringList({"Datei Kavemo.mdb im Programmordner", "PostgreSQL-Server", "Verbindung testen"}));
}

void TestDatabaseDialog::showsTheStoredSetting_data()
{
    QTest::addColumn<QString>("application");
    QTest::addColumn<QString>("stored");
    QTest::addColumn<bool>("server");
    QTest::addColumn<QStringList>("fields"); // Server, Port, Datenbank, Benutzer
    QTest::newRow("nothing stored") << ""
                                    << "" << false << QStringList{"", "5432", "", ""};
    QTest::newRow("program's server") << "Lunaris"
                                      << "postgresql://praxis@db.praxis:6543/kavemo?sslmode=require" << true
                                      << QStringList{"db.praxis", "6543", "kavemo", "praxis"};
    QTest::newRow("family's server") << "Kavemo"
                                     << "postgresql://planer@10.0.0.2/termine" << true
                                     << QStringList{"10.0.0.2", "5432", "termine", "planer"};
    QTest::newRow("unusable text") << "Lunaris"
                                   << "odbc://x" << true << QStringList{"", "5432", "", ""};
}

void TestDatabaseDialog::showsTheStoredSetting()
{
    QFETCH(QString, application);
    QFETCH(QString, stored);
    QFETCH(bool, server);
    TestContext ctx;
    if (!application.isEmpty())
        ctx.tempSettings.write(application, "Datenbank", "Verbindung", stored);
    runDialog(ctx, stored, [&](QDialog& d) {
        QCOMPARE(option(d, "optServer")->isChecked(), server);
        QCOMPARE(option(d, "optDatei")->isChecked(), !server);
        QStringList shown;
        for (const char* name : {"txtServer", "txtPort", "txtDatenbank", "txtBenutzer"}) {
            shown.append(field(d, name)->text());
            QCOMPARE(field(d, name)->isEnabled(), server);
        }
        QTEST(shown, "fields");
        QCOMPARE(field(d, "txtPasswort")->text(), QString());
        QCOMPARE(field(d, "txtPasswort")->echoMode(), QLineEdit::Password);
        // The choice switches the server's fields on and off.
        option(d, server ? "optDatei" : "optServer")->click();
        QCOMPARE(field(d, "txtServer")->isEnabled(), !server);
    });
}

void TestDatabaseDialog::okWritesSettingAndPassword_data()
{
    QTest::addColumn<QString>("running");
    QTest::addColumn<bool>("server");
    QTest::addColumn<QString>("password");
    QTest::addColumn<QString>("written");
    QTest::addColumn<QString>("passwordFile");
    QTest::addColumn<bool>("restart");
    const QString uri = "postgresql://dr%20m%C3%BCller@db.praxis:6543/kavemo%20s%C3%BCd";
    // A new connection checks the server's certificate.
    const QString checked = uri + "?sslmode=verify-full";
    QTest::newRow("to the server, with password")
        << "" << true << "ge:heim" << checked << "db.praxis:6543:kavemo süd:dr müller:ge\\:heim\n"
        << true;
    QTest::newRow("to the server, password kept") << "" << true << "" << checked << "" << true;
    QTest::newRow("same server again") << uri << true << "" << uri << "" << false;
    QTest::newRow("back to the file") << uri << false << "ignored"
                                      << ""
                                      << "" << true;
    QTest::newRow("file stays file") << "" << false << ""
                                     << ""
                                     << "" << false;
}

void TestDatabaseDialog::okWritesSettingAndPassword()
{
    QFETCH(QString, running);
    QFETCH(bool, server);
    QFETCH(QString, password);
    QFETCH(bool, restart);
    TestContext ctx;
    ctx.tempSettings.write("Lunaris", "Datenbank", "Verbindung", running);
    if (restart)
        ctx.messages.answer(QMessageBox::Ok);
    const int result = runDialog(ctx, running, [&](QDialog& d) {
        option(d, server ? "optServer" : "optDatei")->click();
        field(d, "txtServer")->setText("db.praxis");
        field(d, "txtPort")->setText("6543");
        field(d, "txtDatenbank")->setText("kavemo süd");
        field(d, "txtBenutzer")->setText("dr müller");
        field(d, "txtPasswort")->setText(password);
        click(d, "cmdOK");
    });
    QCOMPARE(result, int(QDialog::Accepted));
    QTEST(ctx.tempSettings.read("Lunaris", "Datenbank", "Verbindung"), "written");
    QTEST(fileText(m_home.filePath("pgpass")), "passwordFile");
    if (!password.isEmpty())
        QVERIFY(!fileText(ctx.tempSettings.folder() + "/Kavemo/Lunaris.conf").contains(password));
    if (restart)
        compareBox(ctx.messages.last(), Restart, "Bitte neu starten", QMessageBox::Warning);
    else
        QVERIFY(ctx.messages.shown().isEmpty());
}

void TestDatabaseDialog::okRefusesIncompleteServer_data()
{
    QTest::addColumn<QStringList>("fields"); // Server, Port, Datenbank, Benutzer
    QTest::addColumn<QString>("message");
    QTest::newRow("no server") << QStringList{" ", "5432", "kavemo", "praxis"} << "Bitte geben Sie den Server an.";
    QTest::newRow("no port") << QStringList{"h", "", "kavemo", "praxis"}
                             << "Der Port muss eine Zahl von 1 bis 65535 sein.";
    QTest::newRow("port zero") << QStringList{"h", "0", "kavemo", "praxis"}
                               << "Der Port muss eine Zahl von 1 bis 65535 sein.";
    QTest::newRow("no database") << QStringList{"h", "5432", "", "praxis"}
                                 << "Bitte geben Sie den Namen der Datenbank an.";
    QTest::newRow("no user") << QStringList{"h", "5432", "kavemo", ""} << "Bitte geben Sie den Benutzer an.";
    QTest::newRow("server name the connection text cannot hold")
        << QStringList{"praxis server/2", "5432", "kavemo", "praxis"}
        << "Der Servername „praxis server/2“ kann nicht verwendet werden. Erlaubt sind ein Name aus Buchstaben ohne "
           "Umlaute, Ziffern, Punkt, Bindestrich und Unterstrich (zum Beispiel „PRAXIS-SERVER“) oder eine IP-Adresse.";
}

void TestDatabaseDialog::okRefusesIncompleteServer()
{
    QFETCH(QStringList, fields);
    QFETCH(QString, message);
    TestContext ctx;
    for (const char* button : {"cmdOK", "cmdTest"}) {
        ctx.messages.answer(QMessageBox::Ok);
        runDialog(ctx, "", [&](QDialog& d) {
            option(d, "optServer")->click();
            int i = 0;
            for (const char* name : {"txtServer", "txtPort", "txtDatenbank", "txtBenutzer"})
                field(d, name)->setText(fields[i++]);
            field(d, "txtPasswort")->setText("geheim");
            click(d, button);
            QVERIFY(d.isVisible());
        });
        compareBox(ctx.messages.last(), message, "Datenbank", QMessageBox::Warning);
    }
    QCOMPARE(ctx.tempSettings.read("Lunaris", "Datenbank", "Verbindung"), QString());
    QVERIFY(!QFile::exists(m_home.filePath("pgpass")));
}

void TestDatabaseDialog::encryptionChoice_data()
{
    QTest::addColumn<QString>("stored");  // the options of the stored URI; "-": nothing stored
    QTest::addColumn<QString>("shown");   // the choice shown; empty: none of the three
    QTest::addColumn<QString>("choose");  // clicked; "...": the certificate chosen with "..."
    QTest::addColumn<QString>("written"); // the options written by OK
    QTest::newRow("new connection, certificate typed") << "-"
                                                       << "optPruefen"
                                                       << "..."
                                                       << "?sslmode=verify-full&sslrootcert=%1";
    QTest::newRow("checked, kept") << "?sslmode=verify-full&sslrootcert=/praxis/ca.crt"
                                   << "optPruefen"
                                   << ""
                                   << "?sslmode=verify-full&sslrootcert=/praxis/ca.crt";
    QTest::newRow("encrypted") << "?sslmode=require"
                               << "optVerschluesselt"
                               << ""
                               << "?sslmode=require";
    QTest::newRow("unencrypted, with its warning") << "?sslmode=disable"
                                                   << "optUnverschluesselt"
                                                   << ""
                                                   << "?sslmode=disable";
    QTest::newRow("libpq's default kept") << ""
                                          << ""
                                          << ""
                                          << "";
    QTest::newRow("another mode kept") << "?sslmode=verify-ca&sslrootcert=/praxis/ca.crt&connect_timeout=5"
                                       << ""
                                       << ""
                                       << "?sslmode=verify-ca&sslrootcert=/praxis/ca.crt&connect_timeout=5";
    QTest::newRow("checked, switched off") << "?sslmode=verify-full&sslrootcert=/praxis/ca.crt"
                                           << "optPruefen"
                                           << "optUnverschluesselt"
                                           << "?sslmode=disable";
}

void TestDatabaseDialog::encryptionChoice()
{
    QFETCH(QString, stored);
    QFETCH(QString, shown);
    QFETCH(QString, choose);
    const QString server = "postgresql://praxis@db.praxis:5432/kavemo";
    const QString certificate = m_home.filePath("praxis-ca.crt");
    QFile(certificate).open(QIODevice::WriteOnly);
    TestContext ctx;
    if (stored != "-")
        ctx.tempSettings.write("Lunaris", "Datenbank", "Verbindung", server + stored);
    const QString running = stored == "-" ? QString() : server + stored;
    QFETCH(QString, written);
    // Another setting than the one running asks for a restart.
    if (written != stored)
        ctx.messages.answer(QMessageBox::Ok);
    int result = QDialog::Rejected;
    if (stored != "-")
        result = runDialog(ctx, running, [&](QDialog& d) {
            for (const char* name : {"optPruefen", "optVerschluesselt", "optUnverschluesselt"})
                QCOMPARE(option(d, name)->isChecked(), shown == name);
            QCOMPARE(field(d, "txtZertifikat")->isEnabled(), shown == "optPruefen");
            if (!choose.isEmpty())
                option(d, qPrintable(choose))->click();
            auto* warning = d.findChild<QLabel*>("lblUnverschluesselt");
            QCOMPARE(warning->isVisibleTo(&d), option(d, "optUnverschluesselt")->isChecked());
            QCOMPARE(warning->text(), "Warnung: Passwort und Patientendaten gehen lesbar durch das Netz.\n"
                                      "Nur für einen Server auf diesem Rechner.");
            click(d, "cmdOK");
        });
    if (stored == "-") {
        // A new connection: the check is chosen, and "..." picks the practice's certificate.
        frmDatenbank dialog(ctx.services, QString(), m_practiceFile);
        ctx.modals.handleNext([&](QDialog& d) {
            option(d, "optServer")->click();
            QVERIFY(option(d, "optPruefen")->isChecked());
            QVERIFY(field(d, "txtZertifikat")->isEnabled());
            QVERIFY(!d.findChild<QLabel*>("lblUnverschluesselt")->isVisibleTo(&d));
            field(d, "txtServer")->setText("db.praxis");
            field(d, "txtDatenbank")->setText("kavemo");
            field(d, "txtBenutzer")->setText("praxis");
            ctx.modals.handleNext([&](QDialog& chooser) {
                QCOMPARE(chooser.objectName(), "dlgZertifikat");
                QCOMPARE(qobject_cast<QFileDialog*>(&chooser)->fileMode(), QFileDialog::ExistingFile);
                QCOMPARE(chooser.parentWidget(), &d);
                chooser.reject();
            });
            click(d, "cmdZertifikat");
            QCOMPARE(field(d, "txtZertifikat")->text(), QString());
            field(d, "txtZertifikat")->setText(certificate);
            click(d, "cmdOK");
        });
        QCOMPARE(ctx.modals.run(dialog), int(QDialog::Accepted));
    } else {
        QCOMPARE(result, int(QDialog::Accepted));
    }
    QCOMPARE(ctx.tempSettings.read("Lunaris", "Datenbank", "Verbindung"),
             server + (written.contains("%1") ? written.arg(certificate) : written));
    if (written != stored)
        compareBox(ctx.messages.last(), Restart, "Bitte neu starten", QMessageBox::Warning);
    else
        QVERIFY(ctx.messages.shown().isEmpty());
}

void TestDatabaseDialog::connectionTest_data()
{
    QTest::addColumn<QString>("database");
    QTest::addColumn<QString>("typed");   // the password field
    QTest::addColumn<QString>("stored");  // the password file's password for the login
    QTest::addColumn<bool>("closedPort"); // a port where no server listens
    QTest::addColumn<QString>("message"); // %1 the server "127.0.0.1:port"
    QTest::addColumn<bool>("refused");    // the server's own words follow, in the locale's language
    const QString right = TestServer::password();
    const QString failed = "Die Verbindung zum Server „%1“ ist fehlgeschlagen: ";
    QTest::newRow("typed password") << "kavemo" << right << "" << false
                                    << "Die Verbindung zum Server „%1“, Datenbank „kavemo“, wurde hergestellt."
                                    << false;
    QTest::newRow("password from the file")
        << "kavemo"
        << "" << right << false << "Die Verbindung zum Server „%1“, Datenbank „kavemo“, wurde hergestellt." << false;
    QTest::newRow("wrong password") << "kavemo"
                                    << "falsch"
                                    << "" << false
                                    << failed + "Der Server hat die Anmeldung des Benutzers „lunaris“ abgelehnt "
                                                "(Passwort falsch, Benutzer unbekannt oder von diesem Arbeitsplatz "
                                                "aus nicht zugelassen)."
                                    << true;
    QTest::newRow("no password") << "kavemo"
                                 << ""
                                 << "" << false
                                 << failed + "Der Server verlangt ein Passwort für den Benutzer „lunaris“, es ist "
                                             "aber keins hinterlegt."
                                 << true;
    QTest::newRow("wrong database") << "kavmo" << right << "" << false
                                    << failed + "Die Datenbank „kavmo“ gibt es auf dem Server nicht." << true;
    QTest::newRow("no server there") << "kavemo" << right << "" << true
                                     << failed + "Auf dem Rechner „127.0.0.1“ nimmt kein Datenbankserver "
                                                 "Verbindungen an Port 1 an."
                                     << true;
}

void TestDatabaseDialog::connectionTest()
{
    SKIP_WITHOUT_SERVER();
    QFETCH(QString, database);
    QFETCH(QString, typed);
    QFETCH(QString, stored);
    QFETCH(bool, closedPort);
    QFETCH(QString, message);
    QFETCH(bool, refused);
    TestServer::createDatabase("kavemo");
    ServerAddress address = TestServer::tcpAddress(database);
    if (closedPort)
        address.port = 1;
    if (!stored.isEmpty())
        PasswordFile().store(address.host, address.port, address.database, address.user, stored);
    const QString passwordFileBefore = fileText(m_home.filePath("pgpass"));

    TestContext ctx;
    ctx.messages.answer(QMessageBox::Ok);
    runDialog(ctx, "", [&](QDialog& d) {
        typeServer(d, address, typed);
        awaitJob(ctx.modals,
                 QStringLiteral("Die Verbindung zum Server „%1“ wird geprüft...").arg(address.displayName()));
        click(d, "cmdTest");
        QVERIFY(d.isVisible());
    });
    const MessageRequest box = ctx.messages.last();
    const QString expected = message.arg(address.displayName());
    if (!refused) {
        compareBox(box, expected, "Datenbank", QMessageBox::Information);
    } else {
        // The server's own words follow in brackets; their wording is the server's, in its language.
        QVERIFY2(box.text.startsWith(expected + "\r(Meldung: ") && box.text.endsWith(')'), qPrintable(box.text));
        compareBox(box, box.text, "Datenbank", QMessageBox::Warning);
    }
    // A test writes nothing: no setting, no password.
    QCOMPARE(ctx.tempSettings.read("Lunaris", "Datenbank", "Verbindung"), QString());
    QCOMPARE(fileText(m_home.filePath("pgpass")), passwordFileBefore);
}

void TestDatabaseDialog::serverTablesCreatedUsedOrRefused_data()
{
    QTest::addColumn<QString>("before"); // statements run on the empty database first
    QTest::addColumn<QString>("refusal");
    // The family's planner may have made the tables; Lunaris needs numbered rows in each.
    const QString plannerTables =
        R"(CREATE TABLE "Template" (%1 "IDEALTAG" text, "STUHL" text, "BEH" text, "STARTZEIT" text, "ENDZEIT" text);
           CREATE TABLE "Idealtag" (%1 "IDEALTAG" text); CREATE TABLE "Stuhl" (%2 "STUHL" text, "TEXT" text);
           CREATE TABLE "Behand" (%1 "BEH" text, "TEXT" text, "DAUER" int, "DR_START" int, "DR_DAUER" int,
                                  "DR_START2" int, "DR_DAUER2" int, "HON" numeric);
           INSERT INTO "Stuhl" ("STUHL", "TEXT") VALUES ('Stuhl 1', 'vom Planer'))";
    const QString identity = R"("ID" bigint GENERATED ALWAYS AS IDENTITY,)";
    QTest::newRow("empty database: tables made") << ""
                                                 << "";
    QTest::newRow("all tables: used as they are") << plannerTables.arg(identity, R"("ID" serial,)") << "";
    QTest::newRow("some tables: refused")
        << R"(CREATE TABLE "Idealtag" ("IDEALTAG" text); CREATE TABLE "Stuhl" ("STUHL" text, "TEXT" text))"
        << "In der Datenbank „kavemo auf %1“ fehlt die Tabelle „Template“. Die Datenbank wird nicht "
           "verändert.";
    QTest::newRow("a field missing: refused")
        << R"(CREATE TABLE "Template" ("IDEALTAG" text, "STUHL" text, "BEH" text, "STARTZEIT" text, "ENDZEIT" text);
              CREATE TABLE "Idealtag" ("IDEALTAG" text); CREATE TABLE "Stuhl" ("STUHL" text);
              CREATE TABLE "Behand" ("BEH" text, "TEXT" text, "DAUER" int, "DR_START" int, "DR_DAUER" int,
                                     "DR_START2" int, "DR_DAUER2" int, "HON" numeric))"
        << "In der Datenbank „kavemo auf %1“ fehlt das Feld „TEXT“ in der Tabelle „Stuhl“. Die "
           "Datenbank wird nicht verändert.";
    QTest::newRow("no identity column: refused")
        << plannerTables.arg("", "")
        << "In der Datenbank „kavemo auf %1“ fehlt den Tabellen „Template“, „Idealtag“, „Behand“ und "
           "„Stuhl“ die Identitätsspalte „ID“ (fortlaufend nummeriert), an der Lunaris die Zeilen und ihre "
           "Reihenfolge erkennt. Die Datenbank wird nicht verändert.";
    QTest::newRow("an ID that is not numbered: refused")
        << plannerTables.arg(identity, R"("ID" bigint DEFAULT 0,)")
        << "In der Datenbank „kavemo auf %1“ fehlt der Tabelle „Stuhl“ die Identitätsspalte „ID“ "
           "(fortlaufend nummeriert), an der Lunaris die Zeilen und ihre Reihenfolge erkennt. Die Datenbank wird "
           "nicht verändert.";
}

void TestDatabaseDialog::serverTablesCreatedUsedOrRefused()
{
    SKIP_WITHOUT_SERVER();
    QFETCH(QString, before);
    QFETCH(QString, refusal);
    // The administrator's first start on a database without Lunaris's tables.
    TestServer::createEmptyDatabase("kavemo");
    if (!before.isEmpty())
        serverExec(before);
    const QStringList tablesBefore = serverRows(Tables);
    const QString columns = "SELECT table_name, column_name, column_default FROM information_schema.columns "
                            "WHERE table_schema = 'public' ORDER BY table_name, ordinal_position";
    const QStringList columnsBefore = serverRows(columns);
    const ServerAddress address = TestServer::adminAddress("kavemo");
    PasswordFile().store(address.host, address.port, address.database, address.user, TestServer::password());
    // As at the program's start.
    ScriptedMessages messages;
    if (!refusal.isEmpty())
        messages.answerChoice(2); // Beenden
    const bool opened = openServerAtStart(address, messages, [] { return false; }).database != nullptr;
    QCOMPARE(opened, refusal.isEmpty());
    QCOMPARE(messages.shown().size(), refusal.isEmpty() ? 0 : 1);
    if (!refusal.isEmpty()) {
        QCOMPARE(messages.last().text, refusal.arg(address.displayName()));
        QCOMPARE(messages.last().icon, QMessageBox::Critical);
    }
    QVERIFY(QSqlDatabase::connectionNames().filter(QRegularExpression("^lunaris(#\\d+)?$")).isEmpty());
    if (before.isEmpty()) {
        QCOMPARE(serverRows(Tables),
                 QStringList({"Behand", "Idealtag", "IdealtagVersion", "LunarisPraxis", "Stuhl", "Template"}));
        QCOMPARE(serverRows(R"(SELECT indexdef FROM pg_indexes WHERE indexname = 'Template_IDEALTAG_STUHL')"),
                 QStringList({R"(CREATE INDEX "Template_IDEALTAG_STUHL" ON public."Template" USING btree ()"
                              R"("IDEALTAG", "STUHL"))"}));
        // Numbers keep their defaults, names stay unique, as in the file.
        serverExec(R"(INSERT INTO "Behand" ("BEH") VALUES ('KONT'))");
        QCOMPARE(serverRows(R"(SELECT "ID", "BEH", "DAUER", "HON" FROM "Behand")"), QStringList({"1|KONT|0|0"}));
    } else if (refusal.isEmpty()) {
        // The family's tables stay as they are; Lunaris adds only its own.
        QStringList expected = QStringList(tablesBefore) << "IdealtagVersion"
                                                         << "LunarisPraxis";
        expected.sort();
        QCOMPARE(serverRows(Tables), expected);
        QStringList ownColumnsRemoved = serverRows(columns);
        ownColumnsRemoved.removeIf(
            [](const QString& row) { return row.startsWith("IdealtagVersion|") || row.startsWith("LunarisPraxis|"); });
        QCOMPARE(ownColumnsRemoved, columnsBefore);
    } else {
        QCOMPARE(serverRows(Tables), tablesBefore);
        QCOMPARE(serverRows(columns), columnsBefore);
    }
}

void TestDatabaseDialog::transferCopiesThePracticeOnce()
{
    SKIP_WITHOUT_SERVER();
    TestServer::createDatabase("kavemo");
    {
        TempDatabase source;
        source.addChair("Stuhl 1", "Fenster");
        source.addChair("Stuhl 'B'", QString());
        source.addTreatment("KONT", 20, 0, 10, 0, 0, 45.5, "Kontrolle");
        source.addTreatment("BÜ", 30);
        source.addDayName("Montag");
        source.addDayName("Dienstag");
        for (int i = 0; i < 1203; ++i) // more than one batch of rows
            source.addBlock(i % 2 ? "Montag" : "Dienstag", "Stuhl 1", "KONT",
                            QTime(7, 0).addSecs(60 * i).toString("hh:mm"), "x");
        source.addBlock("Montag", "Stuhl 'B'", QVariant(), " 08:00", "08:20 ");
        // Two earlier versions of Montag, the older first.
        source.exec("CREATE TABLE IdealtagVersion (IDEALTAG TEXT NOT NULL, ZEIT TEXT NOT NULL, ARBEITSPLATZ TEXT, "
                    "BENUTZER TEXT, ZEILEN TEXT NOT NULL, GELOESCHT INTEGER NOT NULL DEFAULT 0)");
        source.exec(
            "INSERT INTO IdealtagVersion VALUES (?, ?, ?, ?, ?, ?)",
            {"Montag", "2026-12-01T10:42:00.000", "EMPFANG", "anna", R"([["Stuhl 1","KONT","08:00","08:20"]])", 0});
        source.exec("INSERT INTO IdealtagVersion VALUES (?, ?, ?, ?, ?, ?)",
                    {"Freitag", "2026-12-02T11:00:00.000", "ZIMMER2", "ben", "[]", 1});
        source.close();
        QFile::remove(m_practiceFile);
        QVERIFY(QFile::copy(source.path(), m_practiceFile));
    }
    const QByteArray before = fileHash(m_practiceFile);
    const ServerAddress address = TestServer::tcpAddress("kavemo");
    const QString expected =
        QStringLiteral("Die Daten aus „%1“ wurden in die Datenbank „kavemo“ auf dem Server „%2“ übertragen.\r"
                       "Template: 1204 Zeilen\rIdealtag: 2 Zeilen\rBehand: 2 Zeilen\rStuhl: 2 Zeilen\r"
                       "IdealtagVersion: 2 Zeilen\rLunarisPraxis: 3 Zeilen")
            .arg(m_practiceFile, address.displayName());
    const QString refused = QStringLiteral("Die Daten wurden nicht übertragen.\rDie Tabelle „Template“ in der "
                                           "Datenbank „kavemo auf %1“ enthält schon 1204 Zeilen. Es wurde nichts "
                                           "übertragen.")
                                .arg(address.displayName());
    TestContext ctx;
    // The practice's values kept beside the file go along; the user's personal ones stay.
    ctx.tempSettings.write("Lunaris", "Praxis", "OpenZeit", "07:30");
    ctx.tempSettings.write("Lunaris", "Praxis", "Name", "Dr. Sonnenberg");
    ctx.tempSettings.write("Lunaris", "Farben", "KONT", "#203080");
    ctx.tempSettings.write("Lunaris", "Printer", "Hor", "5");
    for (const bool first : {true, false}) {
        ctx.messages.answer(QMessageBox::Ok);
        runDialog(ctx, "", [&](QDialog& d) {
            typeServer(d, address, TestServer::password());
            awaitJob(ctx.modals, Copying.arg(address.displayName()));
            click(d, "cmdUebertragen");
        });
        if (first)
            compareBox(ctx.messages.last(), expected, "Datenbank", QMessageBox::Information);
        else // the second time the server already holds the practice
            compareBox(ctx.messages.last(), refused, "Datenbank", QMessageBox::Warning);
    }
    QCOMPARE(fileHash(m_practiceFile), before);
    QCOMPARE(serverRows(R"(SELECT "STUHL", "TEXT" FROM "Stuhl" ORDER BY "ID")"),
             QStringList({"Stuhl 1|Fenster", "Stuhl 'B'|NULL"}));
    QCOMPARE(serverRows(R"(SELECT "BEH", "TEXT", "DAUER", "DR_DAUER", "HON" FROM "Behand" ORDER BY "ID")"),
             QStringList({"KONT|Kontrolle|20|10|45.5", "BÜ|NULL|30|0|0"}));
    QCOMPARE(serverRows(R"(SELECT "IDEALTAG" FROM "Idealtag" ORDER BY "ID")"), QStringList({"Montag", "Dienstag"}));
    const QStringList blocks =
        serverRows(R"(SELECT "IDEALTAG", "STUHL", "BEH", "STARTZEIT", "ENDZEIT" FROM "Template" ORDER BY "ID")");
    QCOMPARE(blocks.size(), 1204);
    QCOMPARE(blocks.first(), "Dienstag|Stuhl 1|KONT|07:00|x");
    QCOMPARE(blocks[1201], "Montag|Stuhl 1|KONT|03:01|x"); // the 1202nd row, in the second batch
    QCOMPARE(blocks.last(), "Montag|Stuhl 'B'|NULL| 08:00|08:20 ");
    QCOMPARE(serverRows(R"(SELECT "IDEALTAG", "ZEIT", "ARBEITSPLATZ", "BENUTZER", "ZEILEN", "GELOESCHT")"
                        R"( FROM "IdealtagVersion" ORDER BY "ID")"),
             QStringList({R"(Montag|2026-12-01T10:42:00.000|EMPFANG|anna|[["Stuhl 1","KONT","08:00","08:20"]]|0)",
                          "Freitag|2026-12-02T11:00:00.000|ZIMMER2|ben|[]|1"}));
    QCOMPARE(serverRows(R"(SELECT "BEREICH", "SCHLUESSEL", "WERT" FROM "LunarisPraxis" ORDER BY 1, 2)"),
             QStringList({"Farben|KONT|#203080", "Praxis|Name|Dr. Sonnenberg", "Praxis|OpenZeit|07:30"}));
    // A missing file: nothing to copy.
    QFile::remove(m_practiceFile);
    ctx.messages.answer(QMessageBox::Ok);
    runDialog(ctx, "", [&](QDialog& d) {
        option(d, "optServer")->click();
        field(d, "txtServer")->setText(address.host);
        field(d, "txtDatenbank")->setText(address.database);
        field(d, "txtBenutzer")->setText(address.user);
        awaitJob(ctx.modals, Copying.arg(address.host + ":5432"));
        click(d, "cmdUebertragen");
    });
    compareBox(ctx.messages.last(),
               QStringLiteral("Die Daten wurden nicht übertragen.\rDie Datei „%1“ gibt es nicht.").arg(m_practiceFile),
               "Datenbank", QMessageBox::Warning);
    QVERIFY(!QFile::exists(m_practiceFile));
}

void TestDatabaseDialog::transferNamesTheRefusedRow()
{
    SKIP_WITHOUT_SERVER();
    TestServer::createDatabase("kavemo");
    {
        // A file of the planner's that holds what the server refuses: a duration that is no number, in the
        // second batch of rows.
        QSqlDatabase file = QSqlDatabase::addDatabase("QSQLITE", "planer");
        file.setDatabaseName(m_practiceFile);
        QVERIFY(file.open());
        QSqlQuery q(file);
        for (const char* sql : {"CREATE TABLE Template (IDEALTAG, STUHL, BEH, STARTZEIT, ENDZEIT)",
                                "CREATE TABLE Idealtag (IDEALTAG)", "CREATE TABLE Stuhl (STUHL, TEXT)",
                                "CREATE TABLE Behand (BEH, TEXT, DAUER, DR_START, DR_DAUER, DR_START2, DR_DAUER2, HON)",
                                "INSERT INTO Stuhl VALUES ('Stuhl 1', NULL)"})
            QVERIFY2(q.exec(sql), qPrintable(q.lastError().text()));
        QVERIFY(file.transaction());
        QVERIFY(q.prepare("INSERT INTO Behand VALUES (?, '', ?, 0, 0, 0, 0, 0)"));
        for (int i = 1; i <= 600; ++i) {
            q.addBindValue(QStringLiteral("B%1").arg(i));
            q.addBindValue(i == 555 ? QVariant("zwanzig") : QVariant(10));
            QVERIFY(q.exec());
        }
        QVERIFY(file.commit());
        file.close();
    }
    QSqlDatabase::removeDatabase("planer");
    const ServerAddress address = TestServer::tcpAddress("kavemo");
    TestContext ctx;
    ctx.messages.answer(QMessageBox::Ok);
    runDialog(ctx, "", [&](QDialog& d) {
        typeServer(d, address, TestServer::password());
        awaitJob(ctx.modals, Copying.arg(address.displayName()));
        click(d, "cmdUebertragen");
    });
    // The table, the row in the file's order, its values and the server's reason: no talk of a connection.
    const MessageRequest box = ctx.messages.last();
    const QString head = "Die Daten wurden nicht übertragen.\rDer Server hat die Zeile 555 der Tabelle „Behand“ "
                         "abgelehnt (BEH „B555“, TEXT „“, DAUER „zwanzig“, DR_START „0“, DR_DAUER „0“, DR_START2 "
                         "„0“, DR_DAUER2 „0“, HON „0“): ";
    QVERIFY2(box.text.startsWith(head) && box.text.endsWith("\rEs wurde nichts übertragen.") &&
                 box.text.size() > head.size() + 30,
             qPrintable(box.text));
    compareBox(box, box.text, "Datenbank", QMessageBox::Warning);
    QCOMPARE(serverRows(R"(SELECT COUNT(*) FROM "Behand")"), QStringList({"0"}));
    QCOMPARE(serverRows(R"(SELECT COUNT(*) FROM "Stuhl")"), QStringList({"0"}));
}

void TestDatabaseDialog::transferStoppedWritesNothing()
{
    SKIP_WITHOUT_SERVER();
    TestServer::createDatabase("kavemo");
    {
        TempDatabase source;
        source.addChair("Stuhl 1", "Fenster");
        source.addDayName("Montag");
        for (int i = 0; i < 10; ++i)
            source.addBlock("Montag", "Stuhl 1", "KONT", QTime(7, 0).addSecs(60 * i).toString("hh:mm"), "x");
        source.close();
        QFile::remove(m_practiceFile);
        QVERIFY(QFile::copy(source.path(), m_practiceFile));
    }
    // A slow network: the copy is still on its way when "Abbrechen" is clicked.
    FaultProxy network(QHostAddress::LocalHost, quint16(TestServer::port()));
    network.setDelay(50, 50);
    ServerAddress address = TestServer::tcpAddress("kavemo");
    address.port = network.port();
    TestContext ctx;
    ctx.messages.answer(QMessageBox::Ok);
    runDialog(ctx, "", [&](QDialog& d) {
        typeServer(d, address, TestServer::password());
        awaitJob(ctx.modals, Copying.arg(address.displayName()), true);
        click(d, "cmdUebertragen");
        QVERIFY(d.isVisible());
    });
    compareBox(ctx.messages.last(), "Die Übertragung wurde abgebrochen. Es wurde nichts übertragen.", "Datenbank",
               QMessageBox::Information);
    QCOMPARE(ctx.messages.shown().size(), 1);
    for (const char* table : {"Template", "Idealtag", "Behand", "Stuhl"})
        QCOMPARE(serverRows(QStringLiteral(R"(SELECT COUNT(*) FROM "%1")").arg(table)), QStringList({"0"}));
}

void TestDatabaseDialog::transferWaitsBoundedForAnotherWorkstation_data()
{
    QTest::addColumn<bool>("stop");
    QTest::newRow("waited for in vain") << false;
    QTest::newRow("Abbrechen while waiting") << true;
}

void TestDatabaseDialog::transferWaitsBoundedForAnotherWorkstation()
{
    SKIP_WITHOUT_SERVER();
    TestServer::createDatabase("kavemo");
    {
        TempDatabase source;
        source.addChair("Stuhl 1", "Fenster");
        source.close();
        QFile::remove(m_practiceFile);
        QVERIFY(QFile::copy(source.path(), m_practiceFile));
    }
    // Another workstation sits in a save and does not finish it.
    const QString holderName = QStringLiteral("lunaris-test-holder");
    const auto removeHolder = qScopeGuard([&] { QSqlDatabase::removeDatabase(holderName); });
    QSqlDatabase holder = ServerConnection::open(TestServer::tcpAddress("kavemo"), holderName, TestServer::password());
    QVERIFY2(holder.isOpen(), qPrintable(holder.lastError().text()));
    QVERIFY(holder.transaction());
    QVERIFY(QSqlQuery(holder).exec(R"(LOCK TABLE "Stuhl" IN SHARE ROW EXCLUSIVE MODE)"));

    QFETCH(bool, stop);
    const ServerAddress address = TestServer::tcpAddress("kavemo");
    TestContext ctx;
    ctx.messages.answer(QMessageBox::Ok);
    runDialog(ctx, "", [&](QDialog& d) {
        typeServer(d, address, TestServer::password());
        awaitJob(ctx.modals, Copying.arg(address.displayName()), stop);
        click(d, "cmdUebertragen");
    });
    if (stop)
        compareBox(ctx.messages.last(), "Die Übertragung wurde abgebrochen. Es wurde nichts übertragen.", "Datenbank",
                   QMessageBox::Information);
    else
        compareBox(ctx.messages.last(),
                   "Die Daten wurden nicht übertragen.\rDie Tabellen auf dem Server werden gerade von einem anderen "
                   "Arbeitsplatz benutzt. Bitte versuchen Sie es gleich noch einmal.",
                   "Datenbank", QMessageBox::Warning);
    QCOMPARE(ctx.messages.shown().size(), 1);
    QVERIFY(holder.rollback());
    holder.close();
    QCOMPARE(serverRows(R"(SELECT COUNT(*) FROM "Stuhl")"), QStringList({"0"}));
}

void TestDatabaseDialog::connectionTestStoppedOnADeadPath()
{
    SKIP_WITHOUT_SERVER();
    // A network that swallows everything: the login would wait its whole connect timeout (10 s).
    FaultProxy network(QHostAddress::LocalHost, quint16(TestServer::port()));
    network.setBlackHole(true);
    ServerAddress address = TestServer::tcpAddress("kavemo");
    address.port = network.port();
    TestContext ctx;
    ConnectionSetting::write(ctx.settings, address.uri());
    qint64 stopping = -1;
    runDialog(ctx, address.uri(), [&](QDialog& d) {
        ctx.modals.handleNext([&](QDialog& window) {
            QCOMPARE(window.objectName(), "frmFortschritt");
            QCOMPARE(window.windowTitle(), "Datenbank");
            QCOMPARE(window.findChild<QLabel*>()->text(),
                     QStringLiteral("Die Verbindung zum Server „%1“ wird geprüft...").arg(address.displayName()));
            // The login is under way before the user gives up.
            QTRY_COMPARE(network.connectionsAccepted(), 1);
            QElapsedTimer clock;
            clock.start();
            window.findChild<QPushButton*>("cmdAbbrechen")->click();
            QTRY_VERIFY_WITH_TIMEOUT(!window.isVisible(), 60000);
            stopping = clock.elapsed();
        });
        click(d, "cmdTest");
        QVERIFY(d.isVisible());
    });
    // Closed at once, not after the login's wait; no answer is shown for a test nobody waits for.
    QVERIFY2(stopping >= 0 && stopping < 2000, qPrintable(QString::number(stopping)));
    QVERIFY(ctx.messages.shown().isEmpty());
    QCOMPARE(network.connectionsAccepted(), 1);
}

void TestDatabaseDialog::noPasswordToAFalseServer_data()
{
    QTest::addColumn<int>("kind");
    QTest::addColumn<QString>("entry");  // where the login is made
    QTest::addColumn<QString>("reason"); // %1 the CA file
    for (const QString entry : {"start", "reconnection", "Verbindung testen"}) {
        QTest::addRow("refuses TLS, %s", qPrintable(entry))
            << int(FalseServer::RefusesTls) << entry << "Der Server bietet keine verschlüsselte Verbindung an.";
        QTest::addRow("own certificate, %s", qPrintable(entry))
            << int(FalseServer::OwnCertificate) << entry
            << "Das Zertifikat des Servers ist nicht von der Zertifizierungsstelle in „%1“ ausgestellt. Ist es die "
               "richtige Zertifikatsdatei der Praxis?";
    }
}

void TestDatabaseDialog::noPasswordToAFalseServer()
{
    SKIP_WITHOUT_SERVER();
#ifdef Q_OS_WIN
    QSKIP("the false server is a Python script of the Linux side");
#endif
    QFETCH(int, kind);
    QFETCH(QString, entry);
    QFETCH(QString, reason);
    // Someone else answers at the practice server's address and asks for the password in clear text.
    FalseServer stranger(FalseServer::Kind(kind), TestPaths::sourceFile(QStringLiteral("tests/pg/false_server.py")));
    QVERIFY2(stranger.port(), qPrintable(stranger.failure()));
    TestServer::createDatabase("kavemo");
    // At a reconnection the real server was there first.
    FaultProxy network(QHostAddress::LocalHost,
                       quint16(entry == "reconnection" ? TestServer::port() : stranger.port()));
    ServerAddress address = TestServer::tcpAddress("kavemo");
    address.host = "localhost";
    address.port = network.port();
    address.options = {{"sslmode", "verify-full"}, {"sslrootcert", TestServer::caCertificate()}};
    PasswordFile().store(address.host, address.port, address.database, address.user, TestServer::password());
    const QString failed =
        QStringLiteral("Die Verbindung zum Server „%1“ ist fehlgeschlagen: %2")
            .arg(address.displayName(),
                 reason.contains("%1") ? reason.arg(QDir::toNativeSeparators(TestServer::caCertificate())) : reason);

    MessageRequest box;
    QString expected; // the box's text begins so; the driver's words may follow
    if (entry == "start") {
        TestContext ctx;
        ConnectionSetting::write(ctx.settings, address.uri());
        ctx.messages.answerChoice(2); // Beenden
        LunarisState state;
        state.DatabaseFile = "Kavemo.mdb";
        QVERIFY(!openStartDatabase(state, ctx.settings, ctx.messages, ctx.modals));
        QCOMPARE(ctx.messages.shown().size(), 1);
        box = ctx.messages.last();
        expected = failed; // the server and the reason, no error number
    } else if (entry == "reconnection") {
        Database db(address);
        ServerServices app(db);
        frmLunaris window(app.state, app.services);
        db.run("INSERT INTO Stuhl (STUHL) VALUES (?)", {"Stuhl 1"});
        db.run("INSERT INTO Behand (BEH, DAUER) VALUES (?, ?)", {"KONT", 20});
        QVERIFY(window.Form_Load(1024));
        window.mnuFileNew_Click();
        app.state.CurrentIdealtag = "Montag";
        QVERIFY(placeBlock(window, 0, "08:00", "08:20", "KONT"));
        // The server's address now leads to the stranger.
        network.setTarget(QHostAddress::LocalHost, stranger.port());
        network.cutAll();
        app.messages.answer(QMessageBox::Ok);
        QVERIFY(!window.Speichern());
        QVERIFY(app.state.modified());
        box = app.messages.last();
        expected = "Daten konnten nicht gespeichert werden\r" + failed;
    } else {
        TestContext ctx;
        ctx.messages.answer(QMessageBox::Ok);
        runDialog(ctx, "", [&](QDialog& d) {
            typeServer(d, address, TestServer::password());
            awaitJob(ctx.modals,
                     QStringLiteral("Die Verbindung zum Server „%1“ wird geprüft...").arg(address.displayName()));
            click(d, "cmdTest");
        });
        box = ctx.messages.last();
        expected = failed;
    }
    // The stranger was asked, and no password came to it.
    const char* asked = kind == FalseServer::RefusesTls ? "tls-refused" : "tls-failed";
    QTRY_VERIFY2(stranger.events().contains(asked), qPrintable(stranger.events().join(' ')));
    QVERIFY2(!stranger.events().contains("password"), qPrintable(stranger.events().join(' ')));
    // The user reads why.
    QVERIFY2(box.text.startsWith(expected), qPrintable(box.text));
    if (entry == "start") {
        QCOMPARE(box.title, "Lunaris");
        QCOMPARE(box.icon, QMessageBox::Critical);
        QCOMPARE(box.choices, QStringList({"Erneut versuchen", "Verbindung ändern...", "Beenden"}));
    } else {
        compareBox(box, box.text, entry == "reconnection" ? "Speichern" : "Datenbank",
                   entry == "reconnection" ? QMessageBox::Critical : QMessageBox::Warning);
    }
}

LUNARIS_TEST_MAIN(TestDatabaseDialog)
#include "tst_databasedialog.moc"
