// A second process on the practice database, for the data-safety tests (tst_datasafety):
//   lock <file> exclusive|shared <ms>  holds a lock as the sister planner does while it writes (exclusive) or
//                                      reads (shared); prints "gesperrt" once it holds it, releases after <ms>.
//   view-save <file> <day>             starts like the program, shows the day, adds a block and saves it.
//   save-loop <file> <day> <rounds>    saves a big day again and again through the main window, alternating
//                                      its two versions (round r writes version (r + 1) % 2); the tests kill it.
//   add-days <file> <count>            writes days "Neu 0" … one row and its name per transaction, as another
//                                      program does while a backup copies the file (tst_backup).
// Every message box is printed as "MELDUNG<tab>title<tab>icon<tab>buttons<tab>text" and answered with OK.
#include "BigDay.h"
#include "DayEdits.h"
#include "app/Program.h"
#include "app/frmLunaris.h"
#include "dayview/DayView.h"
#include "kernel/AppServices.h"
#include "kernel/LunarisState.h"
#include "settings/SettingsStore.h"
#include "ui/MessageService.h"
#include "ui/ModalRunner.h"

#include <QApplication>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QTextStream>
#include <QThread>

namespace {
QTextStream& out()
{
    static QTextStream stream(stdout);
    return stream;
}

void report(const QStringList& fields)
{
    out() << fields.join(QLatin1Char('\t')) << Qt::endl; // flushes: the test waits for each line
}

class PrintingMessages : public MessageService {
public:
    QMessageBox::StandardButton show(const MessageRequest& request) override
    {
        report({QStringLiteral("MELDUNG"), request.title, QString::number(int(request.icon)),
                QString::number(int(request.buttons)), request.text});
        return QMessageBox::Ok;
    }
};

int holdLock(const QString& file, bool exclusive, int milliseconds)
{
    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("sister"));
    db.setDatabaseName(file);
    QSqlQuery query(db);
    // A reader's transaction keeps its shared lock until it ends, like a planner showing a day.
    const bool locked =
        db.open() && (exclusive ? query.exec(QStringLiteral("BEGIN EXCLUSIVE"))
                                : query.exec(QStringLiteral("BEGIN")) &&
                                      query.exec(QStringLiteral("SELECT COUNT(*) FROM Template")) && query.next());
    if (!locked) {
        report({QStringLiteral("FEHLER"), query.lastError().text(), db.lastError().text()});
        return 1;
    }
    report({QStringLiteral("gesperrt")});
    QThread::msleep(milliseconds);
    query.finish();
    query.exec(QStringLiteral("COMMIT"));
    report({QStringLiteral("frei")});
    return 0;
}

// The program's start-up and main window on the file, with the day open.
struct Program {
    explicit Program(const QString& file) : database(openPracticeDatabase(file, messages)) {}

    bool start(const QString& day)
    {
        if (!database)
            return false;
        services = std::make_unique<AppServices>(AppServices{*database, settings, messages, modals});
        window = std::make_unique<frmLunaris>(state, *services);
        if (!window->Form_Load(1024))
            return false;
        state.DayOpen = true;
        state.CurrentIdealtag = day;
        window->Termin_load();
        return true;
    }
    int blocksOnScreen() const
    {
        int blocks = 0;
        for (int i = 0; i < state.ChairCount; ++i)
            blocks += window->SSDay1(i)->count();
        return blocks;
    }

    PrintingMessages messages;
    ExecModalRunner modals;
    SettingsStore settings;
    LunarisState state;
    std::unique_ptr<Database> database;
    std::unique_ptr<AppServices> services;
    std::unique_ptr<frmLunaris> window;
};

int addDays(const QString& file, int count)
{
    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("writer"));
    db.setDatabaseName(file);
    db.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=10000"));
    QSqlQuery query(db);
    const auto run = [&](const QString& sql, const QString& day = {}) {
        query.prepare(sql);
        if (!day.isEmpty())
            query.addBindValue(day);
        if (query.exec())
            return true;
        report({QStringLiteral("FEHLER"), query.lastError().text()});
        return false;
    };
    if (!db.open())
        return 1;
    for (int i = 0; i < count; ++i) {
        const QString day = QStringLiteral("Neu %1").arg(i);
        if (!run(QStringLiteral("BEGIN IMMEDIATE")) ||
            !run(QStringLiteral("INSERT INTO Template VALUES (?, 'Stuhl 1', 'KONT', '08:00', '08:20')"), day) ||
            !run(QStringLiteral("INSERT INTO Idealtag VALUES (?)"), day) || !run(QStringLiteral("COMMIT")))
            return 1;
    }
    return 0;
}

int viewAndSave(const QString& file, const QString& day)
{
    Program program(file);
    if (!program.start(day))
        return 2;
    report({QStringLiteral("GELADEN"), QString::number(program.blocksOnScreen())});
    placeBlock(*program.window, 0, QStringLiteral("17:00"), QStringLiteral("17:10"), QStringLiteral("NEU"));
    program.window->Speichern();
    report({QStringLiteral("GEAENDERT"), QString::number(program.state.modified())});
    return 0;
}

int saveLoop(const QString& file, const QString& day, int rounds)
{
    Program program(file);
    if (!program.start(day))
        return 2;
    for (int round = 0; round < rounds; ++round) {
        const int version = (round + 1) % 2;
        QList<DayBlock> blocks;
        for (const BigDayBlock& block : bigDayBlocks(version))
            blocks.append({block.start, block.end, block.code, QColor(0, 255, 0)});
        replaceBlocks(*program.window, QList<QList<DayBlock>>(program.state.ChairCount, blocks));
        program.window->Speichern();
        if (program.state.modified())
            return 3;
        report({QStringLiteral("GESPEICHERT"), QString::number(round)});
    }
    return 0;
}
} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    const QStringList args = QApplication::arguments().mid(1);
    const QString mode = args.value(0);
    if (mode == QLatin1String("lock") && args.size() == 4)
        return holdLock(args[1], args[2] == QLatin1String("exclusive"), args[3].toInt());
    if (mode == QLatin1String("view-save") && args.size() == 3)
        return viewAndSave(args[1], args[2]);
    if (mode == QLatin1String("save-loop") && args.size() == 4)
        return saveLoop(args[1], args[2], args[3].toInt());
    if (mode == QLatin1String("add-days") && args.size() == 3)
        return addDays(args[1], args[2].toInt());
    report({QStringLiteral("FEHLER"), QStringLiteral("unbekannter Aufruf"), args.join(QLatin1Char(' '))});
    return 64;
}
