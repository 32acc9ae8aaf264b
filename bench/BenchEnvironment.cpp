#include "BenchEnvironment.h"

#include "BenchPractice.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>

#include <cstdio>
#include <stdexcept>

BenchEnvironment::BenchEnvironment()
{
    if (!m_dir.isValid())
        throw std::runtime_error("cannot create a temporary folder");
}

BenchEnvironment::~BenchEnvironment()
{
    m_sessions.clear();
}

QString BenchEnvironment::folder(const QString& name) const
{
    return m_dir.filePath(name);
}

QString BenchEnvironment::practiceFile(int otherDays)
{
    if (const auto found = m_files.find(otherDays); found != m_files.end())
        return found->second;
    const QString path = folder(QStringLiteral("praxis-%1.mdb").arg(otherDays));
    QElapsedTimer timer;
    timer.start();
    BenchPractice::create(path, otherDays);
    std::fprintf(stderr, "(practice with %d other days built in %.1f s)\n", otherDays, timer.elapsed() / 1000.0);
    m_files[otherDays] = path;
    return path;
}

BenchSession& BenchEnvironment::session(int otherDays, BenchSession::TemplateIndex index)
{
    const auto key = std::make_pair(otherDays, index);
    if (const auto found = m_sessions.find(key); found != m_sessions.end()) {
        // Each benchmark starts without the message boxes an earlier one may have met.
        found->second->messages().clear();
        return *found->second;
    }
    QString path = practiceFile(otherDays);
    const bool naive = index == BenchSession::TemplateIndex::Dropped;
    if (naive) {
        // The window works on a copy of its own, so dropping the index leaves the original alone.
        const QString copy = folder(QStringLiteral("praxis-%1-ohne-index.mdb").arg(otherDays));
        QFile::remove(copy);
        if (!QFile::copy(path, copy))
            throw std::runtime_error("cannot copy the practice database");
        path = copy;
    }
    const QString connection = QStringLiteral("bench-%1-%2").arg(otherDays).arg(naive ? "naive" : "program");
    auto session = std::make_unique<BenchSession>(path, connection, index, pdfFile());
    BenchSession& result = *session;
    m_sessions[key] = std::move(session);
    return result;
}
