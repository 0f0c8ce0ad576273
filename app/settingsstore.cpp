#include "app/settingsstore.h"

#include "support/privatefiles.h"

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
    // The file is the user's alone before anything is written: the writer replaces it with a
    // temporary file that takes its mode.
    MakePrivateFile(store.fileName());
    store.setValue(keyPath(key), value);
    store.sync();
}

QString SettingsLocation()
{
    return QSettings(QSettings::NativeFormat, QSettings::UserScope, QLatin1String(ApplicationName)).fileName();
}
