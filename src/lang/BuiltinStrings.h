#pragma once

#include <QString>
#include <cstdint>

namespace orvelin {

// String ids of the program's built-in English texts.
enum StringId : int32_t {
    IDS_ABOUTBOX = 101,
    IDS_MESSAGE_ERROR = 105,
    IDS_MESSAGE_WARNING = 108,
    IDS_SELECT_OUTPUT_FILE = 110,
    IDS_ORIGINAL_SIZE = 111,
    IDS_CUSTOM_SIZE = 112,
    IDS_ORIGINAL_FRAME_RATE = 113,
    IDS_CUSTOM_FRAME_RATE = 114,
    IDS_OUTPUT_FILE = 115,
    IDS_RESOLUTION = 116,
    IDS_PRESERVE_ASPECT_RATIO = 117,
    IDS_STRETCH = 118,
    IDS_TIP_OPEN_VIDEO = 119,
    IDS_TIP_OUTPUT_OPTIONS = 120,
    IDS_TIP_CONVERT = 121,
    IDS_MESSAGE_CANNOT_OPEN = 122,
    IDS_MESSAGE_NO_DURATION = 123,
    IDS_STOP = 124,
    IDS_CONVERT = 125,
    IDS_MESSAGE_RESTART = 126,
    IDS_MESSAGE_FILE_EXIST = 127,
    IDS_MESSAGE_STOP_CONVERTING = 130,
    IDS_DONE = 163,
};

// The built-in English text of a string id; empty when the id has none.
QString BuiltinString(int32_t id);

} // namespace orvelin
