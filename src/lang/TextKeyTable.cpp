#include "lang/TextKeyTable.h"

#include <array>

namespace orvelin {

namespace {

// In loading order; a key may stand in several rows.
constexpr std::array<TextKeyRow, 57> kRows{{
    {"IDM_ABOUT", 32778},
    {"IDM_SELECT_LANGUAGE", 10485760},
    {"IDM_POPUPMENU_FONT", 32780},
    {"IDC_BUTTON_ABOUT", 100},
    {"IDD_PROGRAM_CAPTION", 1085},
    {"IDD_DIALOG_OUTPUT_OPTIONS", 129},
    {"IDC_BUTTON_BROWSE", 1024},
    {"IDC_STATIC_OUTPUT_FILE", 1023},
    {"IDC_STATIC_RESOLUTION", 1026},
    {"IDC_STATIC_FRAME_RATE", 1078},
    {"IDC_STATIC_RESIZE_MODE", 1079},
    {"IDC_STATIC_VIDEO_COMPRESSOR", 1080},
    {"IDC_BUTTON_VIDEO_CODEC_SETTINGS", 1053},
    {"IDC_STATIC_AUDIO_COMPRESSOR", 1081},
    {"IDC_STATIC_OPTIONS_NOTE", 1077},
    {"IDC_BUTTON_OUTPUT_DEAULT", 1051},
    {"IDC_BUTTON_OPTIONS_OK", 1082},
    {"IDC_BUTTON_OPTIONS_CANCEL", 1083},
    {"IDC_STATIC_VIDEO_COMPRESSOR_BITRATE", 1087},
    {"IDC_STATIC_AUDIO_COMPRESSOR_BITRATE", 1088},
    {"IDC_BUTTON_HELP", 1084},
    {"IDC_BUTTON_HOMEPAGE", 1047},
    {"IDC_BUTTON_ABOUT", 1042},
    {"IDC_BUTTON_EXIT", 1076},
    {"IDD_PROGRAM_CAPTION", 102},
    {"IDC_BUTTON_ADD_VIDEO", 1006},
    {"IDC_BUTTON_OUTPUT_SETTINGS", 1003},
    {"IDC_BUTTON_CONVERT", 1000},
    {"IDC_BUTTON_PLAY", 1058},
    {"IDC_BUTTON_PAUSE", 1060},
    {"IDC_BUTTON_STOP", 1061},
    {"IDC_BUTTON_START_TIME", 1062},
    {"IDC_BUTTON_END_TIME", 1063},
    {"IDS_LANGUAGE_IN_ENGLISH", 102},
    {"IDS_MESSAGE_OUTPUT_FILE", 115},
    {"IDS_MESSAGE_RESOLUTION", 116},
    {"IDS_MESSAGE_OPEN_FILE", 119},
    {"IDS_MESSAGE_OPTIONS", 120},
    {"IDS_MESSAGE_CONVERT", 121},
    {"IDS_MESSAGE_NOT_OPEN_FILE", 122},
    {"IDS_MESSAGE_NO_DURATION", 123},
    {"IDC_BUTTON_CONVERT", 125},
    {"IDC_BUTTON_STOP", 124},
    {"IDS_MESSAGE_FILE_EXIST", 127},
    {"IDS_MESSAGE_STOP_CONVERT", 130},
    {"IDS_MESSAGE_RESTART_PROGRAM", 126},
    {"IDS_MESSAGE_CONVERSION_DONE", 163},
    {"IDM_ABOUT", 101},
    {"IDS_MESSAGE_ERROR", 105},
    {"IDS_MESSAGE_WARNING", 108},
    {"IDS_MESSAGE_BROWSE_CAPTION", 110},
    {"IDS_MESSAGE_ORIGINAL_SIZE", 111},
    {"IDS_MESSAGE_CUSTOM_SIZE", 112},
    {"IDS_MESSAGE_ORIGINAL_FRAME_SIZE", 113},
    {"IDS_MESSAGE_CUSTOM_FRAME_SIZE", 114},
    {"IDS_MESSAGE_PRESERVE_ASPECT_RATIO", 117},
    {"IDS_MESSAGE_RESIZE_STRETCH", 118},
}};

} // namespace

std::span<const TextKeyRow> TextKeyTable() {
    return kRows;
}

const char* SectionOfKey(const char* key) {
    const std::string_view prefix = std::string_view(key).substr(0, 3);
    if (prefix == "IDS")
        return "STRING";
    if (prefix == "IDM" || prefix == "IDR")
        return "MENU";
    if (prefix == "IDD" || prefix == "IDC")
        return "DIALOG";
    return nullptr;
}

} // namespace orvelin
