#pragma once

#include <QList>
#include <QMap>
#include <QString>
#include <QStringList>
#include <QVariantList>

#include <utility>

class Database;

// One practice value: section and key as in the per-user settings ("Praxis"/"OpenZeit", "Farben"/"KONT").
struct PracticeValue {
    QString section;
    QString key;
    QString value;
    bool operator==(const PracticeValue&) const = default;
};

// Table LunarisPraxis on the server, Lunaris's own: the practice values every workstation shares (hours, row
// length, working days, the practice's name and address, the treatments' colours). Its trigger tells every
// listening workstation of a change, as the family's tables' triggers do. The file has no such table: there the
// values stay in each user's settings.
class PracticeValueTable {
public:
    static inline const QString Name = QStringLiteral("LunarisPraxis");

    explicit PracticeValueTable(const Database& db) : m_db(db) {}
    // The statements that create the table and its trigger when missing.
    static QStringList serverDefinition();
    // Runs them inside the caller's transaction.
    static void ensure(const Database& db);
    // Whether the server database has the table and its trigger (asked without any right to create them).
    static bool presentOnServer(const Database& db);

    // Every stored value, by "section/key". Throws LunarisError.
    QMap<QString, QString> all() const;
    // Stores the values in one transaction, each replacing the earlier one of its key. Throws LunarisError.
    void write(const QList<PracticeValue>& values) const;

    // The statement that write() runs, and its values; an empty statement for no values.
    static std::pair<QString, QVariantList> upsert(const QList<PracticeValue>& values);

    static QString keyOf(const QString& section, const QString& key) { return section + QLatin1Char('/') + key; }

private:
    const Database& m_db;
};
