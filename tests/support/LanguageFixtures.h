#pragma once

#include "lang/LanguagePack.h"

#include <QByteArray>
#include <QString>
#include <QTemporaryDir>

namespace orvelin::test {

// A base folder with a "language" folder of pack files written by the test.
// The process-wide pack is detached and emptied again when it goes.
class PackFolder {
public:
    PackFolder();
    ~PackFolder();
    QString Base() const { return dir_.path(); }
    // Writes language/<name>.ini with exactly these bytes.
    void Write(const QString& name, const QByteArray& bytes) const;
    // Init on this folder with `name` (which may be replaced).
    bool Init(QString& name) const;
    bool Init(const QString& name) const {
        QString copy = name;
        return Init(copy);
    }

private:
    QTemporaryDir dir_;
};

// Text in a code page, through iconv ("CP1252", "CP1251", ...).
QByteArray Encode(const QString& text, const char* codePage);
// UTF-16LE with a byte-order mark.
QByteArray Utf16Pack(const QString& text);

} // namespace orvelin::test
