#include "lang/LanguagePack.h"

#include "lang/BuiltinStrings.h"

#include <QCoreApplication>
#include <QFile>

namespace orvelin {

LanguagePack& LanguagePack::Instance() {
    static LanguagePack pack;
    return pack;
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
    return folder;
}

bool LanguagePack::Init(const QString& baseFolder, QString& requestedName) {
    baseFolder_ = baseFolder;
    packNames_.clear();
    currentName_ = QStringLiteral("english");
    // This build reads no pack files, so none is ever found and the built-in
    // English texts stay in force; the requested name is kept as it is.
    Q_UNUSED(requestedName);
    return !packNames_.isEmpty();
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

bool LanguagePack::ApplyToDialog(QWidget* dialog, int32_t resourceId) const {
    Q_UNUSED(dialog);
    Q_UNUSED(resourceId);
    // Without a pack nothing changes.
    return !packNames_.isEmpty();
}

QString LanguagePack::GetDialogText(int32_t id) const {
    return FindIn(dialogTexts_, id);
}

QString LanguagePack::GetMenuText(int32_t id) const {
    return FindIn(menuTexts_, id);
}

} // namespace orvelin
