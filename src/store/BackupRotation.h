#pragma once

#include <QDateTime>
#include <QList>
#include <QString>

#include <optional>

// The names of the practice's backups and which of them are kept.
namespace BackupRotation {
// Kept in any case: the newest this many.
constexpr int Newest = 10;
// Kept besides: the first backup of each of this many months, the current one included.
constexpr int Months = 12;

// "Kavemo-2026-12-08-1405.mdb" for a backup made at that minute.
QString fileName(const QDateTime& time);
// The minute a backup's file name tells; none for a file that is not named like a backup.
std::optional<QDateTime> timeOf(const QString& fileName);
// The backups (their times) that are no longer kept at `now`.
QList<QDateTime> expired(QList<QDateTime> backups, const QDateTime& now);
} // namespace BackupRotation
