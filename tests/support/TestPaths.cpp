#include "TestPaths.h"

namespace TestPaths::Built {
// In the build's generated TestPathValues.cpp.
extern const char* const Program;
extern const char* const ProgramDir;
extern const char* const SourceDir;
extern const char* const TestsDir;
} // namespace TestPaths::Built

namespace TestPaths {

QString program()
{
    return QString::fromUtf8(Built::Program);
}

QString programDir()
{
    return QString::fromUtf8(Built::ProgramDir);
}

QString sourceFile(const QString& relativePath)
{
    return QString::fromUtf8(Built::SourceDir) + QLatin1Char('/') + relativePath;
}

QString helper(const QString& name)
{
#ifdef Q_OS_WIN
    return QString::fromUtf8(Built::TestsDir) + QLatin1Char('/') + name + QStringLiteral(".exe");
#else
    return QString::fromUtf8(Built::TestsDir) + QLatin1Char('/') + name;
#endif
}

} // namespace TestPaths
