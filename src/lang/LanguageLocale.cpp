// Resolving a pack name to its language and setting the process locale.
#include "app/UiServices.h"
#include "lang/LanguagePack.h"
#include "lang/LocaleTable.h"

#include <QLocale>

#include <clocale>

namespace orvelin {

bool LanguagePack::ResolveLocale(const QString& name, QString& localeName, int32_t& primaryLanguage,
                                 int32_t& subLanguage) {
    QString lower = name.toLower();
    const PackEncoding kind = DetectEncoding(name);
    if (kind == PackEncoding::Utf8)
        lower.chop(6);
    else if (kind == PackEncoding::Unicode)
        lower.chop(8);

    if (lower == QStringLiteral("english")) {
        localeName = QStringLiteral("english");
        primaryLanguage = 9;
        subLanguage = 1;
        return true;
    }
    for (const LocaleRow& row : LocaleTable()) {
        const QString abbreviation = QString::fromLatin1(row.abbreviation).toLower();
        if (QString::fromLatin1(row.name).toLower() == lower || abbreviation == lower) {
            localeName = abbreviation;
            primaryLanguage = row.languageId & 0x3FF;
            subLanguage = row.languageId >> 10;
            return true;
        }
    }
    if (ui_) {
        ui_->MessageBox(nullptr,
                        QStringLiteral("Your language file name may be not proper,\n please read "
                                       "the help file!"),
                        lower);
    }
    return false;
}

void LanguagePack::SetLocale(const QString& posixLocale) {
    // The C library's locale: the language's own when it is installed, else
    // the user's default.
    bool set = false;
    if (!posixLocale.isEmpty()) {
        QString base = posixLocale;
        QString modifier;
        if (const int at = posixLocale.indexOf('@'); at >= 0) {
            base = posixLocale.left(at);
            modifier = posixLocale.mid(at);
        }
        for (const char* codeset : {".UTF-8", ".utf8"}) {
            const QByteArray full = (base + QLatin1String(codeset) + modifier).toLatin1();
            if (std::setlocale(LC_ALL, full.constData())) {
                set = true;
                break;
            }
        }
    }
    if (!set)
        std::setlocale(LC_ALL, "");
    // Qt's default locale follows the language; an unknown one leaves it.
    if (!posixLocale.isEmpty())
        QLocale::setDefault(QLocale(posixLocale));
    // Numbers always print with a full stop.
    std::setlocale(LC_NUMERIC, "C");
}

} // namespace orvelin
