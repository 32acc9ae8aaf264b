#include "TempSettings.h"

#include <QSettings>

TempSettings::TempSettings()
{
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, m_dir.path());
}

TempSettings::~TempSettings()
{
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, QString());
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
