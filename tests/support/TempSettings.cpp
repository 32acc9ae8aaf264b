#include "TempSettings.h"

#include <QSettings>

namespace {
#ifdef Q_OS_WIN
// On Windows the settings live in the registry, which QSettings::setPath does not move: the family's key is
// emptied for the test and what was there is put back afterwards.
const QString FamilyKey = QStringLiteral("HKEY_CURRENT_USER\\Software\\Kavemo");
#endif
} // namespace

TempSettings::TempSettings()
{
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, m_dir.path());
#ifdef Q_OS_WIN
    QSettings registry(FamilyKey, QSettings::NativeFormat);
    for (const QString& key : registry.allKeys())
        m_saved.insert(key, registry.value(key));
    registry.clear();
#endif
}

TempSettings::~TempSettings()
{
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, QString());
#ifdef Q_OS_WIN
    QSettings registry(FamilyKey, QSettings::NativeFormat);
    registry.clear();
    for (auto it = m_saved.cbegin(); it != m_saved.cend(); ++it)
        registry.setValue(it.key(), it.value());
#endif
}

void TempSettings::write(const QString& application, const QString& section, const QString& key, const QString& value)
{
    QSettings settings(QSettings::NativeFormat, QSettings::UserScope, QStringLiteral("Kavemo"), application);
    settings.setValue(section + QLatin1Char('/') + key, value);
}

QString TempSettings::read(const QString& application, const QString& section, const QString& key) const
{
    const QSettings settings(QSettings::NativeFormat, QSettings::UserScope, QStringLiteral("Kavemo"), application);
    const QVariant value = settings.value(section + QLatin1Char('/') + key);
    return value.isValid() ? value.toString() : QString();
}
