#pragma once

#include <QString>

// A text from the data as part of a window caption, shown as it is: Qt takes "[*]" in a caption for
// the place of the modified mark and drops it; doubled, it shows once.
inline QString captionText(const QString& text)
{
    return QString(text).replace(QLatin1String("[*]"), QLatin1String("[*][*]"));
}
