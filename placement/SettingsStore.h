#pragma once
// The per-user settings store: text values by application, section and key.
// Each application has one INI file under the XDG config home,
// $XDG_CONFIG_HOME/<application>.ini (~/.config when the variable is not
// set), with one [section] per section; an application name that is not a
// plain file name is percent-encoded, so no name reaches outside that folder.

#include <QString>

#include <optional>

namespace numora::placement {

// The stored text; nullopt when the key (or its file) is missing.
std::optional<QString> storedSetting(const QString& appName, const QString& section, const QString& key);
// Throws com::ComError when the file cannot be written.
void SaveSetting(const QString& appName, const QString& section, const QString& key, const QString& setting);

QString settingsFile(const QString& appName);

} // namespace numora::placement
