#include "app/SettingsStore.h"

#include <QDir>
#include <QSettings>
#include <QStandardPaths>

namespace orvelin {

namespace {
QString findIgnoringCase(const QStringList& names, const QString& wanted) {
    for (const QString& name : names) {
        if (name.compare(wanted, Qt::CaseInsensitive) == 0)
            return name;
    }
    return {};
}
} // namespace

QString SettingsStore::DefaultFilePath() {
    QString base = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
    if (base.isEmpty())
        base = QDir::homePath() + "/.config";
    return base + "/ZEVRANT/orvelin.conf";
}

SettingsStore::SettingsStore() : SettingsStore(DefaultFilePath()) {}

SettingsStore::SettingsStore(const QString& filePath)
    : settings_(std::make_unique<QSettings>(filePath, QSettings::IniFormat)) {}

SettingsStore::~SettingsStore() = default;

QString SettingsStore::FilePath() const {
    return settings_->fileName();
}

QString SettingsStore::StoredSection(const QString& section) const {
    const QString found = findIgnoringCase(settings_->childGroups(), section);
    return found.isEmpty() ? section : found;
}

QString SettingsStore::StoredKey(const QString& storedSection, const QString& key) const {
    settings_->beginGroup(storedSection);
    const QString found = findIgnoringCase(settings_->childKeys(), key);
    settings_->endGroup();
    return found.isEmpty() ? key : found;
}

bool SettingsStore::Contains(const QString& section, const QString& key) const {
    const QString s = StoredSection(section);
    return settings_->contains(s + "/" + StoredKey(s, key));
}

int32_t SettingsStore::GetInt(const QString& section, const QString& key,
                              int32_t defaultValue) const {
    const QString s = StoredSection(section);
    const QVariant value = settings_->value(s + "/" + StoredKey(s, key));
    if (!value.isValid())
        return defaultValue;
    bool ok = false;
    // Stored as a 32-bit value: wrap anything larger the way a DWORD read would.
    const qlonglong number = value.toString().trimmed().toLongLong(&ok, 0);
    if (!ok)
        return defaultValue;
    return static_cast<int32_t>(static_cast<uint32_t>(static_cast<unsigned long long>(number)));
}

QString SettingsStore::GetString(const QString& section, const QString& key,
                                 const QString& defaultValue) const {
    const QString s = StoredSection(section);
    const QVariant value = settings_->value(s + "/" + StoredKey(s, key));
    if (!value.isValid())
        return defaultValue;
    return value.toString();
}

bool SettingsStore::WriteInt(const QString& section, const QString& key, int32_t value) {
    const QString s = StoredSection(section);
    settings_->setValue(s + "/" + StoredKey(s, key), static_cast<int>(value));
    settings_->sync();
    return settings_->status() == QSettings::NoError;
}

bool SettingsStore::WriteString(const QString& section, const QString& key, const QString& value) {
    const QString s = StoredSection(section);
    settings_->setValue(s + "/" + StoredKey(s, key), value);
    settings_->sync();
    return settings_->status() == QSettings::NoError;
}

} // namespace orvelin
