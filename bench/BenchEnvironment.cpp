#include "BenchEnvironment.h"

#include "BenchPractice.h"
#include "BenchServer.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>

#include <cstdio>
#include <stdexcept>

BenchEnvironment::BenchEnvironment(bool quick) : m_quick(quick)
{
    if (!m_dir.isValid())
        throw std::runtime_error("cannot create a temporary folder");
}

BenchEnvironment::~BenchEnvironment()
{
    m_sessions.clear();
    m_server.reset();
}

QString BenchEnvironment::folder(const QString& name) const
{
    return m_dir.filePath(name);
}

QString BenchEnvironment::practiceFile(int otherDays)
{
    if (const auto found = m_files.find(otherDays); found != m_files.end())
        return found->second;
    const QString path = cached(QStringLiteral("praxis-%1.mdb").arg(otherDays),
                                [otherDays](const QString& file) { BenchPractice::create(file, otherDays); });
    m_files[otherDays] = path;
    return path;
}

QString BenchEnvironment::demoFile()
{
    return cached(QStringLiteral("demo.mdb"), [](const QString& file) { BenchPractice::createDemo(file); });
}

QString BenchEnvironment::plannerFile()
{
    const QString practice = practiceFile(manyDays());
    return cached(QStringLiteral("praxis-%1-planer-%2.mdb").arg(manyDays()).arg(plannerRows()),
                  [&](const QString& file) {
                      if (!QFile::copy(practice, file))
                          throw std::runtime_error("cannot copy the practice database");
                      BenchPractice::addPlannerAppointments(file, plannerRows());
                  });
}

QString BenchEnvironment::cached(const QString& name, const std::function<void(const QString&)>& build) const
{
    // The generator's version is part of the folder: files of an older generator are not used.
    const QDir cache(QStringLiteral(LUNARIS_BENCH_CACHE "/v1"));
    cache.mkpath(QStringLiteral("."));
    const QString path = cache.filePath(name);
    if (QFileInfo::exists(path))
        return path;
    // Built under another name and renamed when complete, so an interrupted run leaves no half file.
    const QString building = path + QStringLiteral(".neu");
    QFile::remove(building);
    QElapsedTimer timer;
    timer.start();
    build(building);
    if (!QFile::rename(building, path))
        throw std::runtime_error("cannot keep the built file");
    std::fprintf(stderr, "(%s built in %.1f s)\n", qPrintable(name), timer.elapsed() / 1000.0);
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
    // Each window works on a copy of its own: saves (and dropping the index) leave the kept file as built.
    const bool naive = index == BenchSession::TemplateIndex::Dropped;
    const QString path = folder(QStringLiteral("praxis-%1%2.mdb").arg(otherDays).arg(naive ? "-ohne-index" : ""));
    QFile::remove(path);
    if (!QFile::copy(practiceFile(otherDays), path))
        throw std::runtime_error("cannot copy the practice database");
    const QString connection = QStringLiteral("bench-%1-%2").arg(otherDays).arg(naive ? "naive" : "program");
    auto session = std::make_unique<BenchSession>(path, connection, index, pdfFile());
    BenchSession& result = *session;
    m_sessions[key] = std::move(session);
    return result;
}

BenchServer& BenchEnvironment::server()
{
    if (!m_server)
        m_server = std::make_unique<BenchServer>(m_dir.path());
    return *m_server;
}

BenchSession& BenchEnvironment::serverSession(int otherDays)
{
    return server().session(otherDays, practiceFile(otherDays), pdfFile());
}

BenchSession& BenchEnvironment::remoteServerSession(int otherDays)
{
    return server().remoteSession(otherDays, practiceFile(otherDays), pdfFile(), RemoteDelayMs);
}
