#include "lang/TextDecoding.h"

#include <QStringDecoder>

#include <cerrno>
#include <iconv.h>

namespace orvelin {

namespace {

constexpr char32_t kReplacement = 0xFFFD;

void AppendUtf8(QByteArray& out, char32_t c) {
    if (c < 0x80) {
        out.append(static_cast<char>(c));
    } else if (c < 0x800) {
        out.append(static_cast<char>(0xC0 | (c >> 6)));
        out.append(static_cast<char>(0x80 | (c & 0x3F)));
    } else if (c < 0x10000) {
        out.append(static_cast<char>(0xE0 | (c >> 12)));
        out.append(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
        out.append(static_cast<char>(0x80 | (c & 0x3F)));
    } else {
        out.append(static_cast<char>(0xF0 | (c >> 18)));
        out.append(static_cast<char>(0x80 | ((c >> 12) & 0x3F)));
        out.append(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
        out.append(static_cast<char>(0x80 | (c & 0x3F)));
    }
}

// The iconv name of a code page.
QByteArray IconvName(int codePage) {
    switch (codePage) {
    case 874:
    case 932:
    case 936:
    case 949:
    case 950:
    case 1250:
    case 1251:
    case 1252:
    case 1253:
    case 1254:
    case 1255:
    case 1256:
    case 1257:
    case 1258:
        return "CP" + QByteArray::number(codePage);
    default:
        return {};
    }
}

} // namespace

QString DecodeUtf8(const QByteArray& bytes) {
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    return decoder.decode(bytes);
}

QString DecodeCodePage(const QByteArray& bytes, int codePage) {
    const QByteArray name = IconvName(codePage);
    if (name.isEmpty())
        return DecodeUtf8(bytes);
    iconv_t cd = iconv_open("UTF-8", name.constData());
    if (cd == reinterpret_cast<iconv_t>(-1))
        return DecodeUtf8(bytes);

    QByteArray out;
    out.reserve(bytes.size() * 2 + 16);
    char buffer[4096];
    char* in = const_cast<char*>(bytes.constData());
    size_t inLeft = static_cast<size_t>(bytes.size());
    while (inLeft > 0) {
        char* dst = buffer;
        size_t dstLeft = sizeof buffer;
        const size_t done = iconv(cd, &in, &inLeft, &dst, &dstLeft);
        out.append(buffer, static_cast<qsizetype>(dst - buffer));
        if (done != static_cast<size_t>(-1))
            continue;
        if (errno == E2BIG)
            continue;
        // A byte that does not decode (or an incomplete sequence at the end):
        // one replacement character, then on with the next byte.
        AppendUtf8(out, kReplacement);
        ++in;
        --inLeft;
        iconv(cd, nullptr, nullptr, nullptr, nullptr);
    }
    // Flush any shift state.
    char* dst = buffer;
    size_t dstLeft = sizeof buffer;
    iconv(cd, nullptr, nullptr, &dst, &dstLeft);
    out.append(buffer, static_cast<qsizetype>(dst - buffer));
    iconv_close(cd);
    return QString::fromUtf8(out);
}

QByteArray Utf16ToUtf8(const char* data, qsizetype size, bool bigEndian) {
    QByteArray out;
    out.reserve(size + size / 2);
    const auto* bytes = reinterpret_cast<const unsigned char*>(data);
    const auto unit = [&](qsizetype i) -> char16_t {
        return bigEndian ? static_cast<char16_t>((bytes[i] << 8) | bytes[i + 1])
                         : static_cast<char16_t>(bytes[i] | (bytes[i + 1] << 8));
    };
    qsizetype i = 0;
    for (; i + 1 < size; i += 2) {
        const char16_t u = unit(i);
        if (u >= 0xD800 && u <= 0xDBFF) {
            if (i + 3 < size) {
                const char16_t low = unit(i + 2);
                if (low >= 0xDC00 && low <= 0xDFFF) {
                    AppendUtf8(out, 0x10000 + ((char32_t(u) - 0xD800) << 10) + (low - 0xDC00));
                    i += 2;
                    continue;
                }
            }
            AppendUtf8(out, kReplacement);
        } else if (u >= 0xDC00 && u <= 0xDFFF) {
            AppendUtf8(out, kReplacement);
        } else {
            AppendUtf8(out, u);
        }
    }
    if (i < size) // an odd last byte
        AppendUtf8(out, kReplacement);
    return out;
}

qsizetype CompleteUtf8Prefix(const QByteArray& bytes) {
    const qsizetype size = bytes.size();
    // The lead byte of the last character is at most three bytes back.
    for (qsizetype back = 1; back <= 4 && back <= size; ++back) {
        const auto byte = static_cast<unsigned char>(bytes[size - back]);
        if ((byte & 0xC0) == 0x80)
            continue; // a continuation byte
        const int length = byte < 0x80             ? 1
                           : (byte & 0xE0) == 0xC0 ? 2
                           : (byte & 0xF0) == 0xE0 ? 3
                           : (byte & 0xF8) == 0xF0 ? 4
                                                   : 1; // not UTF-8: left to the decoder
        return back < length ? size - back : size;
    }
    return size;
}

} // namespace orvelin
