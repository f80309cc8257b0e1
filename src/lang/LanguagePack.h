#pragma once

#include "lang/LogFont.h"
#include "lang/ProfileFile.h"

#include <QFont>
#include <QString>
#include <QStringList>
#include <cstdint>
#include <map>
#include <optional>
#include <utility>
#include <vector>

class QMenu;
class QWidget;

namespace orvelin {

class SettingsStore;
class UiServices;

// How the texts of a pack file are stored, told by its name.
enum class PackEncoding : int32_t { Ansi = 0, Unicode = 1, Utf8 = 2 };

// The process-wide language pack: finds the pack files in the "language"
// folder, loads the chosen one into three tables of texts keyed by numeric
// ids, sets the locale of its language and builds its dialog font. Until a
// pack has been loaded every lookup answers the program's built-in English
// text.
class LanguagePack {
public:
    using TextList = std::vector<std::pair<int32_t, QString>>;

    static LanguagePack& Instance();

    // The settings store the fonts live in and the UI services that show the
    // loader's messages; both may be null (then fonts are the defaults and
    // nothing is shown). They must outlive their use or be detached.
    void Attach(SettingsStore* settings, UiServices* ui);

    // The folder that holds the "language" folder: the program's parent folder
    // when it has language/English.ini, else the program's own folder; an
    // installed program without a language folder beside it uses its shared
    // data folder when that has language/English.ini.
    static QString FindBaseFolder();
    static QString FindBaseFolder(const QString& programFolder);

    // Remembers the base folder, lists the packs and selects `requestedName`;
    // false when no pack was found (the built-in English texts stay in force).
    bool Init(const QString& baseFolder, QString& requestedName);
    // Lists language/*.ini under the base folder into the sorted pack names;
    // true when at least one file was found.
    bool ScanFolder();
    // Chooses the pack of that name (without regard to case, falling back to
    // "english"; `name` becomes "english" then) and loads it.
    bool Select(QString& name);
    // Loads the texts of a pack, sets the locale and rebuilds the font; false
    // only when no pack was found at all.
    bool Load(const QString& name);

    static PackEncoding DetectEncoding(const QString& name);
    // The locale of a pack name: "english", or a name or abbreviation of the
    // locale table. False, after telling the user, when neither matches.
    bool ResolveLocale(const QString& name, QString& localeName, int32_t& primaryLanguage,
                       int32_t& subLanguage);
    // The value of a key in the loaded pack file, decoded to text; `defaultText`
    // when the file has none.
    QString ReadEntry(const QString& section, const QString& key, const QString& defaultText) const;
    // Backslash-t, backslash-n and backslash-r become a tab, a line feed and a
    // carriage return.
    static void ExpandEscapes(QString& text);

    QString GetString(int32_t id) const;
    QString GetDialogTextOrString(int32_t id) const;
    QString GetDialogText(int32_t id) const;
    QString GetMenuText(int32_t id) const;

    // Retitles a dialog and its controls from the loaded pack; false when no
    // pack was found at start (then nothing changes).
    bool ApplyToDialog(QWidget* dialog, int32_t resourceId) const;
    // Retitles a menu's items; submenus take the texts of consecutive popup
    // ordinals counted from resourceId × 65536 at the top level.
    bool ApplyToMenu(QMenu* menu, int32_t resourceId, bool topLevel) const;

    // Rebuilds the font from the settings of the current language.
    bool LoadFont();
    // Stores the font's record under the current language.
    bool SaveFont();
    // Replaces the font by one built from `record`.
    void SetFont(const LogFont& record);
    // The dialog font of the current language; null when there is none.
    const QFont* Font() const { return font_ ? &*font_ : nullptr; }
    // The record the font was built from (the default record when there is
    // no font).
    const LogFont& FontRecord() const { return fontRecord_; }

    const QString& CurrentName() const { return currentName_; }
    int PackCount() const { return static_cast<int>(packNames_.size()); }
    QString PackName(int index) const { return packNames_.value(index); }
    const QString& BaseFolder() const { return baseFolder_; }
    const QString& PackPath() const { return packPath_; }
    PackEncoding Encoding() const { return encoding_; }
    int32_t PrimaryLanguage() const { return primaryLanguage_; }
    int32_t SubLanguage() const { return subLanguage_; }
    const TextList& MenuTexts() const { return menuTexts_; }
    const TextList& StringTexts() const { return stringTexts_; }
    const TextList& DialogTexts() const { return dialogTexts_; }
    // The code page Ansi texts of the loaded pack are decoded from (0: UTF-8).
    int CodePage() const { return codePage_; }

private:
    static QString FindIn(const TextList& list, int32_t id);
    // The file name of a pack as the folder listing spelled it.
    QString ListedFile(const QString& name) const;
    void SetLocale(const QString& posixLocale);
    void ApplyMenuLevel(QMenu* menu, bool topLevel) const;

    QString currentName_ = QStringLiteral("english");
    QStringList packNames_;
    TextList menuTexts_;
    TextList stringTexts_;
    TextList dialogTexts_;
    QString baseFolder_;
    int32_t subLanguage_ = 1;
    int32_t primaryLanguage_ = 9;
    QString packPath_;
    PackEncoding encoding_ = PackEncoding::Ansi;
    std::optional<QFont> font_;
    LogFont fontRecord_;

    std::map<QString, QString> listedFiles_; // pack name -> file name
    ProfileFile profile_;
    int codePage_ = 1252;
    mutable int32_t popupCounter_ = 0;
    SettingsStore* settings_ = nullptr;
    UiServices* ui_ = nullptr;
};

} // namespace orvelin
