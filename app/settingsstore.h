#pragma once

#include <QString>

// The per-user settings: application name "Kestrelby", section "Quorvane", text values.
// Nothing is cached: every read goes to the store and every write is flushed at once.
// (Linux: ~/.config/Kestrelby.conf, readable by the user alone; Windows: the per-user registry.)
QString GetSetting(const QString &key, const QString &defaultValue);
// A write the store refuses is ignored; it never ends the program.
void SaveSetting(const QString &key, const QString &value);
// Where the settings live: the file's path, or the registry key's.
QString SettingsLocation();
