#pragma once

#include <QMap>
#include <QString>
#include <QTemporaryDir>
#include <QVariant>

// Points the settings store at a temporary folder for the lifetime of the object, so a test never
// reads or writes the user's real settings. Also writes values the program itself never writes
// (the family's "Kavemo" keys).
class TempSettings {
public:
    TempSettings();
    ~TempSettings();

    QString folder() const { return m_dir.path(); }
    void write(const QString& application, const QString& section, const QString& key, const QString& value);
    // The stored text, or a null QString when the key does not exist.
    QString read(const QString& application, const QString& section, const QString& key) const;

private:
    QTemporaryDir m_dir;
    // Windows: the registry values the test set aside.
    QMap<QString, QVariant> m_saved;
};
