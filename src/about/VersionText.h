#pragma once

#include <QString>

// "Version 6.20.21": each number as a plain decimal without leading zeros.
QString versionText(int majorNumber, int minorNumber, int revisionNumber);

// The version text of this build.
QString programVersionText();
