#include "about/ThirdPartyComponents.h"

#include <QDir>
#include <QFile>
#include <QStringList>
#include <QtGlobal>

QList<ThirdPartyComponent> readThirdPartyComponents(const QString& fileName)
{
    QList<ThirdPartyComponent> components;
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        return components;
    const QStringList lines = QString::fromUtf8(file.readAll()).split(QLatin1Char('\n'));
    for (const QString& line : lines) {
        if (line.startsWith(QLatin1Char('#')))
            continue;
        const QStringList fields = line.split(QLatin1Char('\t'));
        if (fields.size() != 3 || fields.contains(QString()))
            continue;
        components.append({fields[0].trimmed(), fields[1].trimmed(), fields[2].trimmed()});
    }
    return components;
}

QList<ThirdPartyComponent> installedThirdPartyComponents(const QString& programFolder)
{
    const QList<ThirdPartyComponent> shipped =
        readThirdPartyComponents(QDir(programFolder).filePath(QStringLiteral("Komponenten.txt")));
    if (!shipped.isEmpty())
        return shipped;
    return {{QStringLiteral("Qt"), QString::fromLatin1(qVersion()), QStringLiteral("LGPL-3.0-only")}};
}

QString thirdPartyComponentsText(const QList<ThirdPartyComponent>& components)
{
    QStringList lines;
    for (const ThirdPartyComponent& c : components)
        lines.append(QStringLiteral("%1 %2 (%3)").arg(c.name, c.version, c.licence));
    return lines.join(QLatin1Char('\n'));
}
