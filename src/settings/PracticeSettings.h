#pragma once

#include <QString>
#include <QStringList>

class SettingsStore;

// The slot size and the opening hours the columns use, read once when the main window loads. Each
// value comes from the family's settings when they hold it, else from the program's own, else
// from the default. A value that makes no sense is replaced by its default on its own; both hours
// are replaced only when the two do not make a range.
struct PracticeSettings {
    static inline const QString DefaultOpen = QStringLiteral("08:00");
    static inline const QString DefaultClose = QStringLiteral("18:00");

    int slotSetting = 1; // 1 = 10-minute rows, 2 = 15-minute rows
    QString openTime = DefaultOpen;
    QString closeTime = DefaultClose;
    // What was replaced, in words for the status bar; empty when every value was used.
    QStringList replaced;

    static PracticeSettings read(const SettingsStore& settings);
};
