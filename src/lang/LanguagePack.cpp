#include "lang/LanguagePack.h"

#include "app/Installation.h"
#include "lang/BuiltinStrings.h"
#include "lang/LocaleTable.h"
#include "lang/TextDecoding.h"
#include "lang/TextKeyTable.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <map>

namespace orvelin {

LanguagePack& LanguagePack::Instance() {
    static LanguagePack pack;
    return pack;
}

void LanguagePack::Attach(SettingsStore* settings, UiServices* ui) {
    settings_ = settings;
    ui_ = ui;
}

QString LanguagePack::FindBaseFolder() {
    return FindBaseFolder(QCoreApplication::applicationDirPath());
}

QString LanguagePack::FindBaseFolder(const QString& programFolder) {
    QString folder = programFolder;
    while (folder.size() > 1 && folder.endsWith('/'))
        folder.chop(1);
    const int cut = folder.lastIndexOf('/');
    const QString parent = cut < 0 ? folder : folder.left(cut);
    // A file that exists but cannot be read counts as absent.
    QFile probe(parent + "/language/English.ini");
    if (probe.open(QIODevice::ReadOnly))
        return parent;
    // An installed program has no language folder beside it: its packs lie
    // with its other shared files (PREFIX/share/orvelin for PREFIX/bin).
    if (!QFileInfo(folder + "/language").isDir()) {
        const QString installed = InstalledDataFolder(folder);
        QFile installedProbe(installed + "/language/English.ini");
        if (installedProbe.open(QIODevice::ReadOnly))
            return installed;
    }
    return folder;
}

bool LanguagePack::Init(const QString& baseFolder, QString& requestedName) {
    baseFolder_ = baseFolder;
    packNames_.clear();
    listedFiles_.clear();
    // A fresh start: nothing of an earlier pack stays.
    currentName_ = QStringLiteral("english");
    menuTexts_.clear();
    stringTexts_.clear();
    dialogTexts_.clear();
    packPath_.clear();
    profile_.Clear();
    encoding_ = PackEncoding::Ansi;
    font_.reset();
    fontRecord_ = LogFont{};
    ScanFolder();
    if (packNames_.isEmpty())
        return false;
    Select(requestedName);
    return true;
}

bool LanguagePack::ScanFolder() {
    QDir folder(baseFolder_ + QStringLiteral("/language"));
    const QStringList files =
        folder.entryList({QStringLiteral("*.ini")}, QDir::Files | QDir::Readable | QDir::Hidden);
    if (files.isEmpty())
        return false;
    listedFiles_.clear();
    for (const QString& file : files) {
        // The extension in any case, as the pattern matches it.
        const QString name = file.left(file.size() - 4);
        if (name.isEmpty())
            continue;
        packNames_.append(name);
        listedFiles_.emplace(name, file);
    }
    // Byte order of the UTF-8 names: upper-case letters before lower-case ones.
    std::sort(packNames_.begin(), packNames_.end(),
              [](const QString& a, const QString& b) { return a.toUtf8() < b.toUtf8(); });
    return true;
}

bool LanguagePack::Select(QString& name) {
    menuTexts_.clear();
    stringTexts_.clear();
    dialogTexts_.clear();
    currentName_ = QStringLiteral("english");
    for (const QString& listed : packNames_) {
        if (listed.compare(name, Qt::CaseInsensitive) == 0) {
            currentName_ = name;
            break;
        }
    }
    if (name != currentName_)
        name = QStringLiteral("english");
    Load(name);
    return true;
}

QString LanguagePack::ListedFile(const QString& name) const {
    if (const auto it = listedFiles_.find(name); it != listedFiles_.end())
        return it->second;
    for (const QString& listed : packNames_) {
        if (listed.compare(name, Qt::CaseInsensitive) == 0)
            return listedFiles_.at(listed);
    }
    return name + QStringLiteral(".ini");
}

bool LanguagePack::Load(const QString& name) {
    if (packNames_.isEmpty())
        return false;
    encoding_ = DetectEncoding(name);

    QString localeName;
    int32_t primary = 0;
    int32_t sub = 0;
    QString posixLocale;
    if (ResolveLocale(name, localeName, primary, sub)) {
        primaryLanguage_ = primary;
        subLanguage_ = sub;
        const auto languageId = static_cast<uint16_t>((sub << 10) | primary);
        codePage_ = localeName == QStringLiteral("english") ? 1252 : AnsiCodePage(languageId);
        posixLocale = QStringLiteral("en_US");
        for (const LocaleRow& row : LocaleTable()) {
            if (row.languageId == languageId) {
                posixLocale = QString::fromLatin1(row.posixLocale);
                break;
            }
        }
    } else {
        // A language we do not know: its texts are taken as UTF-8.
        codePage_ = 0;
    }

    packPath_ = baseFolder_ + QStringLiteral("/language/") + ListedFile(name);
    profile_.Open(packPath_);

    // One pass over each section for all of its keys.
    std::map<QByteArray, std::vector<QByteArray>> keysOfSection;
    for (const TextKeyRow& row : TextKeyTable()) {
        if (const char* section = SectionOfKey(row.key))
            keysOfSection[section].push_back(row.key);
    }
    for (const auto& [section, keys] : keysOfSection)
        profile_.Prefetch(section, keys);

    for (const TextKeyRow& row : TextKeyTable()) {
        const char* section = SectionOfKey(row.key);
        if (!section)
            continue;
        QString text = ReadEntry(QString::fromLatin1(section), QString::fromLatin1(row.key), {});
        ExpandEscapes(text);
        const std::string_view which(section);
        TextList& list =
            which == "STRING" ? stringTexts_ : (which == "MENU" ? menuTexts_ : dialogTexts_);
        list.emplace_back(row.id, text);
    }

    SetLocale(posixLocale);
    LoadFont();
    return true;
}

PackEncoding LanguagePack::DetectEncoding(const QString& name) {
    const QString lower = name.toLower();
    if (lower.contains(QStringLiteral("_utf-8")))
        return PackEncoding::Utf8;
    if (lower.contains(QStringLiteral("_unicode")))
        return PackEncoding::Unicode;
    return PackEncoding::Ansi;
}

QString LanguagePack::ReadEntry(const QString& section, const QString& key,
                                const QString& defaultText) const {
    const std::optional<QByteArray> found = profile_.Find(section.toUtf8(), key.toUtf8());
    if (!found)
        return defaultText;
    const QByteArray& bytes = *found;
    QString text;
    if (profile_.DecodedFromUtf16()) {
        text = DecodeUtf8(bytes);
    } else if (encoding_ == PackEncoding::Utf8) {
        // The byte limit may have cut the last character in two: what is
        // left of it is dropped, not shown as a replacement character.
        QByteArray whole = bytes;
        if (whole.size() == ProfileFile::kMaxValueBytes)
            whole.truncate(CompleteUtf8Prefix(whole));
        text = DecodeUtf8(whole);
    } else {
        text = DecodeCodePage(bytes, codePage_);
    }
    // A NUL byte is no text; it shows as a replacement character.
    text.replace(QChar(0), QChar(0xFFFD));
    return text;
}

void LanguagePack::ExpandEscapes(QString& text) {
    text.replace(QStringLiteral("\\t"), QStringLiteral("\t"));
    text.replace(QStringLiteral("\\n"), QStringLiteral("\n"));
    text.replace(QStringLiteral("\\r"), QStringLiteral("\r"));
}

QString LanguagePack::FindIn(const TextList& list, int32_t id) {
    for (const auto& [key, text] : list) {
        if (key == id)
            return text;
    }
    return {};
}

QString LanguagePack::GetString(int32_t id) const {
    const QString text = FindIn(stringTexts_, id);
    return text.isEmpty() ? BuiltinString(id) : text;
}

QString LanguagePack::GetDialogTextOrString(int32_t id) const {
    const QString text = FindIn(dialogTexts_, id);
    return text.isEmpty() ? BuiltinString(id) : text;
}

QString LanguagePack::GetDialogText(int32_t id) const {
    return FindIn(dialogTexts_, id);
}

QString LanguagePack::GetMenuText(int32_t id) const {
    return FindIn(menuTexts_, id);
}

} // namespace orvelin
