#pragma once

#include <QByteArray>
#include <QString>
#include <map>
#include <optional>
#include <vector>

namespace orvelin {

// Reads a profile file of "[section]" headers and "key=value" lines the way
// language packs expect: sections and keys are found without regard to case
// (the first section of a name and the first key in it win), blanks around a
// value and one pair of enclosing single or double quotes are removed, and a
// value is cut to its first 2,047 bytes. A file that starts with a UTF-16
// byte-order mark is decoded and its values come back as UTF-8; every other
// file is returned byte for byte (a UTF-8 byte-order mark is skipped).
class ProfileFile {
public:
    static constexpr qsizetype kMaxValueBytes = 2047;
    // Files are read up to this size; what lies beyond is not looked at.
    static constexpr qsizetype kMaxFileBytes = 256 * 1024 * 1024;

    ProfileFile() = default;
    // Reads the whole file; false (and an empty profile) when it cannot be read.
    bool Open(const QString& path);
    // Takes the file's content from memory (tests, and Open).
    void SetContent(const QByteArray& bytes);
    void Clear();

    // True when the file was UTF-16 and its values are UTF-8.
    bool DecodedFromUtf16() const { return fromUtf16_; }

    // The value of `key` in `section`, or `defaultValue` when either is missing.
    QByteArray Read(const QByteArray& section, const QByteArray& key,
                    const QByteArray& defaultValue = {}) const;
    // The same; nothing when the section or the key is missing.
    std::optional<QByteArray> Find(const QByteArray& section, const QByteArray& key) const;
    // Looks up many keys of one section in one pass and remembers their values,
    // so that later Read calls for them do not walk the section again.
    void Prefetch(const QByteArray& section, const std::vector<QByteArray>& keys);

private:
    struct Section {
        bool found = false;
        qsizetype begin = 0; // first byte after the header line
        qsizetype end = 0;   // first byte of the next header line, or the end
    };
    // The first section of a lower-case name (found once, then remembered).
    const Section& FindSection(const QByteArray& lowerName) const;
    // Walks the lines of a section; `visit` gets the lower-cased key and the
    // line's value part and answers false to stop.
    template <typename Visit> void ForEachKey(const Section& section, Visit visit) const;
    QByteArray CleanValue(QByteArray value) const;

    QByteArray text_;
    bool fromUtf16_ = false;
    mutable std::map<QByteArray, Section> sections_;
    // Prefetched values: (lower-case section, lower-case key) -> value; a key
    // that was asked for but is absent is stored with found = false.
    struct Cached {
        bool found;
        QByteArray value;
    };
    std::map<std::pair<QByteArray, QByteArray>, Cached> cache_;
};

} // namespace orvelin
