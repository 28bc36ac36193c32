#include "placement/SettingsStore.h"

#include "platform/com/ComSupport.h"

#include <QDir>
#include <QLoggingCategory>
#include <QSettings>
#include <QUrl>

namespace numora::placement {
namespace {

Q_LOGGING_CATEGORY(lcSettings, "numora.placement", QtWarningMsg)

// A section or key name as one group level: QSettings would read '/' and
// '\' as nesting.
QString level(QString name)
{
    name.replace(QLatin1Char('%'), QLatin1String("%25"));
    name.replace(QLatin1Char('/'), QLatin1String("%2F"));
    name.replace(QLatin1Char('\\'), QLatin1String("%5C"));
    return name;
}

QString settingKey(const QString& section, const QString& key)
{
    return level(section) + QLatin1Char('/') + level(key);
}

} // namespace

QString settingsFile(const QString& appName)
{
    QString config = qEnvironmentVariable("XDG_CONFIG_HOME");
    if (config.isEmpty())
        config = QDir::homePath() + QLatin1String("/.config");
    QString file = QString::fromLatin1(QUrl::toPercentEncoding(appName, " "));
    if (file.startsWith(QLatin1Char('.')))
        file.replace(0, 1, QLatin1String("%2E"));
    return config + QLatin1Char('/') + file + QLatin1String(".ini");
}

std::optional<QString> storedSetting(const QString& appName, const QString& section, const QString& key)
{
    QSettings store(settingsFile(appName), QSettings::IniFormat);
    const QVariant value = store.value(settingKey(section, key));
    if (store.status() != QSettings::NoError)
        qCInfo(lcSettings) << "settings file" << store.fileName() << "could not be read; defaults used";
    if (!value.isValid())
        return std::nullopt;
    // An unquoted text with commas in it reads back as a list.
    if (value.typeId() == QMetaType::QStringList)
        return value.toStringList().join(QLatin1Char(','));
    return value.toString();
}

void SaveSetting(const QString& appName, const QString& section, const QString& key, const QString& setting)
{
    QSettings store(settingsFile(appName), QSettings::IniFormat);
    store.setValue(settingKey(section, key), setting);
    store.sync();
    if (store.status() != QSettings::NoError)
        throw com::ComError(E_FAIL,
                            QStringLiteral("The setting %1 could not be saved in %2").arg(key, store.fileName()));
}

} // namespace numora::placement
