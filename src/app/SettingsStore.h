#pragma once

#include <QString>
#include <cstdint>
#include <memory>

class QSettings;

namespace orvelin {

// The per-user settings store: ~/.config/ZEVRANT/orvelin.conf (it follows
// XDG_CONFIG_HOME). Sections are groups; section and key names are found
// without regard to case, as the registry the values were designed for does.
// Integers are stored as 32-bit numbers.
class SettingsStore {
public:
    SettingsStore();
    explicit SettingsStore(const QString& filePath);
    ~SettingsStore();
    SettingsStore(const SettingsStore&) = delete;
    SettingsStore& operator=(const SettingsStore&) = delete;

    // The file the store lives in for the current environment.
    static QString DefaultFilePath();
    QString FilePath() const;

    int32_t GetInt(const QString& section, const QString& key, int32_t defaultValue) const;
    QString GetString(const QString& section, const QString& key,
                      const QString& defaultValue) const;
    bool WriteInt(const QString& section, const QString& key, int32_t value);
    bool WriteString(const QString& section, const QString& key, const QString& value);
    bool Contains(const QString& section, const QString& key) const;

private:
    // The stored spelling of a section or key, or the given one when absent.
    QString StoredSection(const QString& section) const;
    QString StoredKey(const QString& storedSection, const QString& key) const;
    std::unique_ptr<QSettings> settings_;
};

} // namespace orvelin
