#include "lang/ProfileFile.h"

#include "lang/TextDecoding.h"

#include <QFile>

#include <cstring>
#include <set>

namespace orvelin {

namespace {

bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\v' || c == '\f';
}

QByteArray Trimmed(const char* begin, const char* end) {
    while (begin < end && IsBlank(*begin))
        ++begin;
    while (end > begin && IsBlank(end[-1]))
        --end;
    return QByteArray(begin, end - begin);
}

// Lower case for ASCII letters only: other bytes are compared as they are.
QByteArray AsciiLower(QByteArray text) {
    for (char& c : text) {
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    }
    return text;
}

// Calls `line(begin, end)` for every line of text[from, to); stops when it
// answers false. A line ends at a line feed, which is not part of it.
template <typename Line>
void ForEachLine(const QByteArray& text, qsizetype from, qsizetype to, Line line) {
    const char* data = text.constData();
    qsizetype pos = from;
    while (pos < to) {
        const void* hit = std::memchr(data + pos, '\n', static_cast<size_t>(to - pos));
        const qsizetype lineEnd = hit ? static_cast<const char*>(hit) - data : to;
        if (!line(data + pos, data + lineEnd, lineEnd))
            return;
        pos = lineEnd + 1;
    }
}

// The name of a "[name]" line, lower-cased; false for other lines.
bool HeaderName(const char* begin, const char* end, QByteArray* name) {
    while (begin < end && IsBlank(*begin))
        ++begin;
    if (begin == end || *begin != '[')
        return false;
    const char* close = static_cast<const char*>(std::memchr(begin, ']', end - begin));
    *name = AsciiLower(Trimmed(begin + 1, close ? close : end));
    return true;
}

} // namespace

bool ProfileFile::Open(const QString& path) {
    Clear();
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    SetContent(file.read(kMaxFileBytes));
    return true;
}

void ProfileFile::Clear() {
    text_.clear();
    fromUtf16_ = false;
    sections_.clear();
    cache_.clear();
}

void ProfileFile::SetContent(const QByteArray& bytes) {
    Clear();
    const auto starts = [&bytes](const char* mark, qsizetype size) {
        return bytes.size() >= size && std::memcmp(bytes.constData(), mark, size) == 0;
    };
    if (starts("\xFF\xFE", 2) || starts("\xFE\xFF", 2)) {
        text_ = Utf16ToUtf8(bytes.constData() + 2, bytes.size() - 2, bytes[0] == '\xFE');
        fromUtf16_ = true;
    } else if (starts("\xEF\xBB\xBF", 3)) {
        text_ = bytes.mid(3);
    } else {
        text_ = bytes;
    }
}

const ProfileFile::Section& ProfileFile::FindSection(const QByteArray& lowerName) const {
    auto [it, inserted] = sections_.try_emplace(lowerName);
    if (!inserted)
        return it->second;
    Section& section = it->second;
    QByteArray name;
    ForEachLine(text_, 0, text_.size(), [&](const char* begin, const char* end, qsizetype endPos) {
        if (!HeaderName(begin, end, &name))
            return true;
        if (section.found) {
            section.end = begin - text_.constData();
            return false;
        }
        if (name == lowerName) {
            section.found = true;
            section.begin = endPos + 1;
            section.end = text_.size();
        }
        return true;
    });
    if (section.found && section.begin > text_.size())
        section.begin = text_.size();
    return section;
}

template <typename Visit> void ProfileFile::ForEachKey(const Section& section, Visit visit) const {
    ForEachLine(
        text_, section.begin, section.end, [&](const char* begin, const char* end, qsizetype) {
            const char* equals = static_cast<const char*>(std::memchr(begin, '=', end - begin));
            if (!equals)
                return true;
            return visit(AsciiLower(Trimmed(begin, equals)), equals + 1, end);
        });
}

QByteArray ProfileFile::CleanValue(QByteArray value) const {
    if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
        value.back() == value.front())
        value = value.mid(1, value.size() - 2);
    if (fromUtf16_) {
        // A UTF-16 file counts its limit in UTF-16 units, and a character
        // made of two units is never split.
        if (value.size() <= kMaxValueBytes)
            return value;
        QString text = QString::fromUtf8(value);
        if (text.size() > kMaxValueBytes) {
            qsizetype keep = kMaxValueBytes;
            if (text.at(keep - 1).isHighSurrogate())
                --keep;
            text.truncate(keep);
        }
        return text.toUtf8();
    }
    if (value.size() > kMaxValueBytes)
        value.truncate(kMaxValueBytes);
    return value;
}

QByteArray ProfileFile::Read(const QByteArray& section, const QByteArray& key,
                             const QByteArray& defaultValue) const {
    return Find(section, key).value_or(defaultValue);
}

std::optional<QByteArray> ProfileFile::Find(const QByteArray& section,
                                            const QByteArray& key) const {
    const QByteArray lowerSection = AsciiLower(Trimmed(section.begin(), section.end()));
    const QByteArray lowerKey = AsciiLower(Trimmed(key.begin(), key.end()));
    if (const auto it = cache_.find({lowerSection, lowerKey}); it != cache_.end())
        return it->second.found ? std::optional(it->second.value) : std::nullopt;
    const Section& found = FindSection(lowerSection);
    if (!found.found)
        return std::nullopt;
    std::optional<QByteArray> result;
    ForEachKey(found, [&](const QByteArray& lineKey, const char* begin, const char* end) {
        if (lineKey != lowerKey)
            return true;
        result = CleanValue(Trimmed(begin, end));
        return false;
    });
    return result;
}

void ProfileFile::Prefetch(const QByteArray& section, const std::vector<QByteArray>& keys) {
    const QByteArray lowerSection = AsciiLower(Trimmed(section.begin(), section.end()));
    std::set<QByteArray> wanted;
    for (const QByteArray& key : keys) {
        const QByteArray lowerKey = AsciiLower(Trimmed(key.begin(), key.end()));
        if (cache_.try_emplace({lowerSection, lowerKey}, Cached{false, {}}).second)
            wanted.insert(lowerKey);
    }
    const Section& found = FindSection(lowerSection);
    if (!found.found || wanted.empty())
        return;
    ForEachKey(found, [&](const QByteArray& lineKey, const char* begin, const char* end) {
        if (wanted.erase(lineKey) != 0)
            cache_[{lowerSection, lineKey}] = Cached{true, CleanValue(Trimmed(begin, end))};
        return !wanted.empty();
    });
}

} // namespace orvelin
