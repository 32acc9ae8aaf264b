#pragma once

#include "BenchSession.h"

#include <QTemporaryDir>

#include <map>
#include <memory>
#include <utility>

class BenchServer;

// The files and windows the benchmarks share, made on first use (outside the measured loops) and
// kept for the whole run: practice databases with 10, 1,000 and 10,000 other stored days (each also
// as a copy without the Template index), the demo practice, a file that also holds the planner's
// appointments, and a main window on each. Files that take long to build are kept in the build folder
// between runs. The quick mode (CI) makes the large files small.
class BenchEnvironment {
public:
    static constexpr int FewDays = 10;

    explicit BenchEnvironment(bool quick);
    ~BenchEnvironment();

    bool quick() const { return m_quick; }
    int manyDays() const { return m_quick ? 100 : 1000; }
    int hugeDays() const { return m_quick ? 200 : 10000; }
    // Rows of the planner's appointment table beside the practice with manyDays() other days.
    int plannerRows() const { return m_quick ? 30000 : 3000000; }

    // The practice database with `otherDays` further days (with its index).
    QString practiceFile(int otherDays);
    // The demo practice, as the program is shipped.
    QString demoFile();
    // The practice with manyDays() other days and the planner's appointments in the same file.
    QString plannerFile();
    BenchSession& session(int otherDays, BenchSession::TemplateIndex index);
    // The same practice on a private PostgreSQL server, started on first use.
    BenchSession& serverSession(int otherDays);
    // A second window on that practice, through a relay that adds RemoteDelayMs each way.
    static constexpr int RemoteDelayMs = 20;
    BenchSession& remoteServerSession(int otherDays);
    BenchServer& server();
    QString folder(const QString& name) const;
    QString pdfFile() const { return folder(QStringLiteral("druck.pdf")); }

private:
    // A file kept in the build folder under a name that says what it holds; built by `build` when missing.
    QString cached(const QString& name, const std::function<void(const QString&)>& build) const;

    bool m_quick;
    QTemporaryDir m_dir;
    std::map<int, QString> m_files;
    std::map<std::pair<int, BenchSession::TemplateIndex>, std::unique_ptr<BenchSession>> m_sessions;
    std::unique_ptr<BenchServer> m_server;
};
