// One workstation of the load run (tst_loadrun): for a given time it reads and saves a few days of one
// practice through the program's own store, as a user who saves far more often than any does, and
// answers the overwrite question at random. Every save writes rows that all carry its tag as their
// code ("W3-17": workstation 3, its 17th save), so that afterwards every stored row and every kept
// version names the save that wrote it.
//   load_workstation <file | server URI> <name> <seconds> <seed> <days> <report file>
// A server is reached with libpq's password file. Writes into the report file "BEREIT" once logged in,
// one line per save and a summary (a file, not standard output: under Wine the test's pipe reader was
// seen to stop in the middle of a line while the run cut connections, and the rest never arrived):
//   SAVE <tab> tag <tab> day <tab> expected tag <tab> asked 0|1 <tab> outcome <tab> ms
//     outcome: saved, refused (Nein to the question) or failed:<error number> (may have been written)
//   SUM <tab> saves <tab> questions <tab> failures <tab> longest ms <tab> what waited longest
#include "TestMain.h"
#include "kernel/LunarisError.h"
#include "store/ConnectionSetting.h"
#include "store/Database.h"
#include "store/Tables.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QFile>
#include <QHash>
#include <QThread>
#include <QTime>

#include <random>

namespace {
// Each line is written through at once: the test reads the file while the workstation runs.
class Report {
public:
    explicit Report(const QString& path) : m_file(path) { m_file.open(QIODevice::WriteOnly | QIODevice::Unbuffered); }
    bool isOpen() const { return m_file.isOpen(); }
    void line(const QStringList& fields) { m_file.write(fields.join(QLatin1Char('\t')).toUtf8() + '\n'); }

private:
    QFile m_file;
};

// The tag of the save that wrote these rows; empty when none.
QString tagOf(const QList<StoredBlock>& rows)
{
    return rows.isEmpty() ? QString() : rows.first().row.code.toString();
}

RowsOnScreen shownAs(const QString& day, const DayInStore& stored)
{
    RowsOnScreen shown;
    shown.day = day;
    shown.stored = stored.blocks;
    shown.listed = stored.listed;
    for (const StoredBlock& block : stored.blocks)
        shown.rowIds.insert(block.rowId);
    return shown;
}
} // namespace

static int run(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = QCoreApplication::arguments();
    if (args.size() != 7)
        return 64;
    Report report(args[6]);
    if (!report.isOpen())
        return 65;
    const QString where = args[1];
    const QString name = args[2];
    const QStringList days = args[5].split(QLatin1Char(','));
    std::mt19937 random(args[4].toUInt());
    const auto chance = [&](int n) { return int(random() % unsigned(n)); };

    std::unique_ptr<Database> database;
    try {
        database = where.startsWith(QLatin1String("postgresql:"))
                       ? std::make_unique<Database>(ConnectionSetting::parse(where), name)
                       : std::make_unique<Database>(where, name);
    } catch (const LunarisError& e) {
        report.line({QStringLiteral("START"), QString::number(e.number()), e.description()});
        return 1;
    }
    // Logged in: the run's faults may begin.
    report.line({QStringLiteral("BEREIT")});
    const IdealDayStore store(*database);
    QHash<QString, RowsOnScreen> shown;
    int saves = 0, questions = 0, failures = 0;
    qint64 longest = 0;
    QString longestWhat;
    const auto waitedFor = [&](qint64 ms, const QString& what) {
        if (ms > longest) {
            longest = ms;
            longestWhat = what;
        }
    };
    const QDeadlineTimer end(qint64(args[3].toDouble() * 1000));
    while (!end.hasExpired()) {
        // A user's pace, only much faster.
        QThread::msleep(50 + chance(250));
        const QString day = days[chance(int(days.size()))];
        QElapsedTimer waited;
        waited.start();
        if (!shown.contains(day) || chance(4) == 0) {
            try {
                shown[day] = shownAs(day, store.storedDay(day));
                waitedFor(waited.elapsed(), QStringLiteral("read %1").arg(day));
            } catch (const LunarisError& e) {
                shown.remove(day);
                ++failures;
                waitedFor(waited.elapsed(), QStringLiteral("read %1 failed:%2").arg(day).arg(e.number()));
            }
            continue;
        }
        const QString tag = QStringLiteral("%1-%2").arg(name).arg(++saves);
        QList<TemplateRow> rows;
        const int count = 1 + chance(6);
        for (int i = 0; i < count; ++i) {
            const QTime start = QTime(8, 0).addSecs(600 * (chance(3) + 3 * i));
            rows.append({QStringLiteral("Stuhl %1").arg(1 + chance(3)), tag, start.toString(QStringLiteral("hh:mm")),
                         start.addSecs(600).toString(QStringLiteral("hh:mm"))});
        }
        const QString expected = tagOf(shown[day].stored);
        bool asked = false;
        const auto answer = [&] {
            asked = true;
            ++questions;
            return chance(3) != 0;
        };
        QString outcome;
        try {
            const std::optional<RowsOnScreen> written = store.saveDay(day, rows, shown[day], answer, answer);
            outcome = written ? QStringLiteral("saved") : QStringLiteral("refused");
            if (written)
                shown[day] = *written;
        } catch (const LunarisError& e) {
            // Written or not: the next action reads the day again.
            outcome = QStringLiteral("failed:%1").arg(e.number());
            shown.remove(day);
            ++failures;
        }
        waitedFor(waited.elapsed(), tag + QLatin1Char(' ') + outcome);
        report.line({QStringLiteral("SAVE"), tag, day, expected, asked ? "1" : "0", outcome,
                     QString::number(waited.elapsed())});
    }
    report.line({QStringLiteral("SUM"), QString::number(saves), QString::number(questions), QString::number(failures),
                 QString::number(longest), longestWhat});
    return 0;
}

int main(int argc, char** argv)
{
    TestMain::end(run(argc, argv));
}
