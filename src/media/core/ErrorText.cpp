#include "media/ErrorText.h"

#include "media/PlaybackGraph.h"

#include <map>

namespace orvelin::media {

namespace {
thread_local std::map<HRESULT, QString> t_details;

QString genericText(HRESULT hr) {
    switch (hr) {
    case S_OK:
        return QStringLiteral("No error.");
    case E_FAIL:
        return QStringLiteral("Unspecified error.");
    case E_POINTER:
        return QStringLiteral("Invalid pointer.");
    case E_INVALIDARG:
        return QStringLiteral("The parameter is incorrect.");
    case E_NOTIMPL:
        return QStringLiteral("Not implemented.");
    case E_UNEXPECTED:
        return QStringLiteral("Catastrophic failure.");
    case E_OUTOFMEMORY:
        return QStringLiteral("Not enough memory resources are available to complete this "
                              "operation.");
    case E_NOINTERFACE:
        return QStringLiteral("No such interface supported.");
    case E_ACCESSDENIED:
        return QStringLiteral("Access is denied.");
    case E_DISK_FULL:
        return QStringLiteral("There is not enough space on the disk.");
    case VFW_E_INVALIDMEDIATYPE:
        return QStringLiteral("The specified media type is invalid.");
    case VFW_E_NO_ACCEPTABLE_TYPES:
        return QStringLiteral("There is no common media type between these pins.");
    case VFW_E_ALREADY_CONNECTED:
        return QStringLiteral("The operation cannot be performed because the pins are "
                              "already connected.");
    case VFW_E_NOT_CONNECTED:
        return QStringLiteral("The operation cannot be performed because the pins are not "
                              "connected.");
    case VFW_E_CANNOT_CONNECT:
        return QStringLiteral("No combination of intermediate filters could be found to make "
                              "the connection.");
    case VFW_E_CANNOT_RENDER:
        return QStringLiteral("No combination of filters could be found to render the stream.");
    case VFW_E_NOT_FOUND:
        return QStringLiteral("An object or name was not found.");
    case VFW_E_TYPE_NOT_ACCEPTED:
        return QStringLiteral("This pin cannot use the supplied media type.");
    case VFW_E_WRONG_STATE:
        return QStringLiteral("The operation could not be performed because the filter is "
                              "in the wrong state.");
    case VFW_E_TIMEOUT:
        return QStringLiteral("A time-out has expired.");
    case VFW_E_DUPLICATE_NAME:
        return QStringLiteral("A filter with this name is already in the graph.");
    case VFW_E_UNKNOWN_FILE_TYPE:
        return QStringLiteral("The media type of this file is not recognized.");
    case VFW_E_CANNOT_LOAD_SOURCE_FILTER:
        return QStringLiteral("The source filter for this file could not be loaded.");
    case VFW_E_FILE_TOO_SHORT:
        return QStringLiteral("The file is shorter than the part that was asked for.");
    case VFW_E_RUNTIME_ERROR:
        return QStringLiteral("A run-time error occurred.");
    case REGDB_E_CLASSNOTREG:
        return QStringLiteral("Class not registered.");
    default:
        return QStringLiteral("Unknown error 0x%1.")
            .arg(static_cast<uint32_t>(hr), 8, 16, QLatin1Char('0'));
    }
}
} // namespace

QString LimitErrorText(const QString& text) {
    const QString simplified = text.simplified();
    if (simplified.size() <= kMaxErrorTextLength)
        return simplified;
    return simplified.left(kMaxErrorTextLength - 3) + QStringLiteral("...");
}

QString GetErrorText(HRESULT hr) {
    if (auto it = t_details.find(hr); it != t_details.end() && !it->second.isEmpty())
        return it->second;
    return LimitErrorText(genericText(hr));
}

HRESULT RecordError(HRESULT hr, const QString& detail) {
    t_details[hr] = LimitErrorText(detail);
    return hr;
}

} // namespace orvelin::media
