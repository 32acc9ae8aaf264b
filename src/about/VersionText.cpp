#include "about/VersionText.h"

#include "about/ProgramVersion.h"

QString versionText(int majorNumber, int minorNumber, int revisionNumber)
{
    return QStringLiteral("Version %1.%2.%3").arg(majorNumber).arg(minorNumber).arg(revisionNumber);
}

QString programVersionText()
{
    return versionText(kProgramVersionMajor, kProgramVersionMinor, kProgramVersionRevision);
}
