#pragma once

#include "store/Database.h"

#include <QTemporaryDir>
#include <QVariant>

#include <memory>

// A fresh practice database in a temporary folder, with helpers to put chosen rows into it.
class TempDatabase {
public:
    TempDatabase();

    Database& database() { return *m_database; }
    QString path() const { return m_dir.filePath(QStringLiteral("Kavemo.mdb")); }
    QString folder() const { return m_dir.path(); }

    void addChair(const QString& name, const QString& text = QString());
    void addTreatment(const QString& code, const QVariant& dauer, const QVariant& drStart = 0,
                      const QVariant& drDauer = 0, const QVariant& drStart2 = 0, const QVariant& drDauer2 = 0,
                      const QVariant& hon = 0, const QString& text = QString());
    void addDayName(const QString& name);
    void addBlock(const QString& day, const QString& chair, const QVariant& code, const QVariant& start,
                  const QVariant& end);
    // Runs any statement with bound values; fails the test on error.
    void exec(const QString& sql, const QVariantList& values = {});
    // The values of one query, row by row, each row joined with '|'.
    QStringList rows(const QString& sql, const QVariantList& values = {});

    // Closes the program's connection (for tests that reopen the file or replace it).
    void close() { m_database.reset(); }
    void reopen();

private:
    QTemporaryDir m_dir;
    std::unique_ptr<Database> m_database;
};
