#pragma once

#include "SecretScan.h"

#include <QApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QStandardPaths>
#include <QTranslator>
#include <QtTest>

namespace TestMain {
// Ends the test program with the status, after everything of it was destroyed.
[[noreturn]] void end(int status);
} // namespace TestMain

// Like QTEST_MAIN, with what every test of this program needs: a German locale, German texts on
// Qt's buttons, the test mode of QStandardPaths so the user's own files are never touched, and the scan
// of every log line for the test server's password.
#define LUNARIS_TEST_MAIN(TestClass)                                                                                   \
    int main(int argc, char** argv)                                                                                    \
    {                                                                                                                  \
        int status = 0;                                                                                                \
        {                                                                                                              \
            QApplication app(argc, argv);                                                                              \
            SecretScan::install();                                                                                     \
            QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));                                           \
            QStandardPaths::setTestModeEnabled(true);                                                                  \
            QTranslator qtTranslator;                                                                                  \
            if (qtTranslator.load(QLocale(QLocale::German, QLocale::Germany), QStringLiteral("qtbase"),                \
                                  QStringLiteral("_"), QLibraryInfo::path(QLibraryInfo::TranslationsPath)))            \
                QApplication::installTranslator(&qtTranslator);                                                        \
            TestClass test;                                                                                            \
            QTEST_SET_MAIN_SOURCE_PATH                                                                                 \
            status = QTest::qExec(&test, argc, argv);                                                                  \
        }                                                                                                              \
        TestMain::end(status);                                                                                         \
    }
