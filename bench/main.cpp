#include "BenchEnvironment.h"
#include "BenchPractice.h"
#include "Benchmarks.h"

#include <QApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QSettings>
#include <QTemporaryDir>
#include <QTranslator>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace {
QtMessageHandler qtHandler = nullptr;

// The off-screen platform says so for every dialog it shows; it is not about the program.
void quietOffscreen(QtMsgType type, const QMessageLogContext& context, const QString& message)
{
    if (message.contains(QLatin1String("does not support propagateSizeHints")))
        return;
    qtHandler(type, context, message);
}
} // namespace

int main(int argc, char** argv)
{
    // The windows are measured off screen; the cold start shows the real program on the X display.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    // A frame is painted as soon as the event loop gets to it, without Qt's idle gap before it.
    qputenv("QT_QPA_UPDATE_IDLE_TIME", "0");
    QApplication app(argc, argv);
    qtHandler = qInstallMessageHandler(quietOffscreen);
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    QTranslator qtTranslator;
    if (qtTranslator.load(QLocale(QLocale::German, QLocale::Germany), QStringLiteral("qtbase"), QStringLiteral("_"),
                          QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        QApplication::installTranslator(&qtTranslator);

    // --quick: every benchmark with its checks, a few iterations each, small files, no targets (CI).
    bool quick = false;
    for (int i = 1; i < argc; ++i)
        if (std::strcmp(argv[i], "--quick") == 0) {
            quick = true;
            std::copy(argv + i + 1, argv + argc, argv + i);
            --argc;
            break;
        }
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;

    // The user's own settings are never read or written.
    QTemporaryDir settings;
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, settings.path());
    BenchPractice::writeSettings();

    bool failed = false;
    try {
        BenchEnvironment environment(quick);
        registerBenchmarks(environment);
        SummaryReporter reporter(summaryLines(environment));
        reporter.setTargetsChecked(!quick);
        benchmark::RunSpecifiedBenchmarks(&reporter);
        failed = reporter.anyFailed();
    } catch (const std::exception& e) {
        std::fprintf(stderr, "lunaris_bench: %s\n", e.what());
        return 1;
    }
    benchmark::Shutdown();
    // A benchmark whose checks failed reported no figure; the run fails with it.
    return failed ? 1 : 0;
}
