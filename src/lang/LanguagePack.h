#pragma once

#include <QString>
#include <QStringList>
#include <cstdint>
#include <utility>
#include <vector>

class QWidget;

namespace orvelin {

// The process-wide language pack. Until a pack has been loaded every lookup
// answers the program's built-in English text.
class LanguagePack {
public:
    using TextList = std::vector<std::pair<int32_t, QString>>;

    static LanguagePack& Instance();

    // The folder that holds the "language" folder: the program's parent folder
    // when it has language/English.ini, else the program's own folder.
    static QString FindBaseFolder();
    static QString FindBaseFolder(const QString& programFolder);

    // Remembers the base folder and looks for packs; false when none was found
    // (the built-in English texts stay in force). `requestedName` may be
    // replaced by "english".
    bool Init(const QString& baseFolder, QString& requestedName);

    QString GetString(int32_t id) const;
    QString GetDialogTextOrString(int32_t id) const;
    QString GetDialogText(int32_t id) const;
    QString GetMenuText(int32_t id) const;

    // Retitles a dialog and its controls from the loaded pack; false when no
    // pack was found at start (then nothing changes).
    bool ApplyToDialog(QWidget* dialog, int32_t resourceId) const;

    const QString& CurrentName() const { return currentName_; }
    int PackCount() const { return static_cast<int>(packNames_.size()); }
    QString PackName(int index) const { return packNames_.value(index); }
    const QString& BaseFolder() const { return baseFolder_; }

private:
    static QString FindIn(const TextList& list, int32_t id);

    QString currentName_ = QStringLiteral("english");
    QStringList packNames_;
    TextList menuTexts_;
    TextList stringTexts_;
    TextList dialogTexts_;
    QString baseFolder_;
};

} // namespace orvelin
