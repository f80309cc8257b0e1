#include "support/LanguageFixtures.h"

#include <QDir>
#include <QFile>

#include <iconv.h>

namespace orvelin::test {

PackFolder::PackFolder() {
    QDir(dir_.path()).mkpath("language");
}

PackFolder::~PackFolder() {
    LanguagePack& pack = LanguagePack::Instance();
    QTemporaryDir empty;
    QString english = "english";
    pack.Init(empty.path(), english);
    pack.Attach(nullptr, nullptr);
}

void PackFolder::Write(const QString& name, const QByteArray& bytes) const {
    QFile file(dir_.filePath("language/" + name + ".ini"));
    if (file.open(QIODevice::WriteOnly))
        file.write(bytes);
}

bool PackFolder::Init(QString& name) const {
    return LanguagePack::Instance().Init(dir_.path(), name);
}

QByteArray Encode(const QString& text, const char* codePage) {
    QByteArray in = text.toUtf8();
    iconv_t cd = iconv_open(codePage, "UTF-8");
    QByteArray out(in.size() * 4 + 16, '\0');
    char* src = in.data();
    size_t srcLeft = in.size();
    char* dst = out.data();
    size_t dstLeft = out.size();
    iconv(cd, &src, &srcLeft, &dst, &dstLeft);
    iconv_close(cd);
    out.truncate(out.size() - static_cast<qsizetype>(dstLeft));
    return out;
}

QByteArray Utf16Pack(const QString& text) {
    QByteArray out("\xFF\xFE", 2);
    for (QChar c : text) {
        out.append(static_cast<char>(c.unicode() & 0xFF));
        out.append(static_cast<char>(c.unicode() >> 8));
    }
    return out;
}

} // namespace orvelin::test
