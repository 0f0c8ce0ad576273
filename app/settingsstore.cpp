#include "app/settingsstore.h"

#include <QSettings>

namespace {
constexpr const char *ApplicationName = "Kestrelby";
constexpr const char *Section = "Quorvane";

QString keyPath(const QString &key)
{
    return QLatin1String(Section) + QLatin1Char('/') + key;
}
} // namespace

QString GetSetting(const QString &key, const QString &defaultValue)
{
    QSettings store(QSettings::NativeFormat, QSettings::UserScope, QLatin1String(ApplicationName));
    store.sync(); // another instance may have written since this process last looked
    const QVariant value = store.value(keyPath(key));
    if (!value.isValid())
        return defaultValue;
    return value.toString();
}

void SaveSetting(const QString &key, const QString &value)
{
    QSettings store(QSettings::NativeFormat, QSettings::UserScope, QLatin1String(ApplicationName));
    store.setValue(keyPath(key), value);
    store.sync();
}
