#pragma once

#include <QList>
#include <QString>

// A library of another maker that the program ships, as the about box names it.
struct ThirdPartyComponent {
    QString name;
    QString version;
    QString licence;
    bool operator==(const ThirdPartyComponent&) const = default;
};

// The list the Windows package writes beside the program ("Komponenten.txt"): one component a line, name,
// version and licence separated by tabs; lines starting with # and lines without three fields are skipped.
QList<ThirdPartyComponent> readThirdPartyComponents(const QString& fileName);

// The components of this program: the package's list in the program folder; where there is none (a build of
// its own, on a system whose libraries the system updates), the Qt it runs with.
QList<ThirdPartyComponent> installedThirdPartyComponents(const QString& programFolder);

// One line a component: "SQLite 3.40.1 (Public Domain)".
QString thirdPartyComponentsText(const QList<ThirdPartyComponent>& components);
