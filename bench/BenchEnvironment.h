#pragma once

#include "BenchSession.h"

#include <QTemporaryDir>

#include <map>
#include <memory>
#include <utility>

// The files and windows the benchmarks share, made on first use (outside the measured loops) and
// kept for the whole run: practice databases with 10 and with 1,000 other stored days, each also
// as a copy without the Template index, and a main window on each.
class BenchEnvironment {
public:
    static constexpr int ManyDays = 1000;
    static constexpr int FewDays = 10;

    BenchEnvironment();
    ~BenchEnvironment();

    // The practice database with `otherDays` further days (with its index).
    QString practiceFile(int otherDays);
    BenchSession& session(int otherDays, BenchSession::TemplateIndex index);
    QString folder(const QString& name) const;
    QString pdfFile() const { return folder(QStringLiteral("druck.pdf")); }

private:
    QTemporaryDir m_dir;
    std::map<int, QString> m_files;
    std::map<std::pair<int, BenchSession::TemplateIndex>, std::unique_ptr<BenchSession>> m_sessions;
};
