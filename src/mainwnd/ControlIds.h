#pragma once

namespace orvelin {

// Control identifiers of the main window (language packs and tests address
// controls by these numbers).
enum MainControlId : int {
    IDC_BUTTON_CONVERT = 1000,
    IDC_BUTTON_OPTIONS = 1003,
    IDC_BUTTON_OPEN_VIDEO = 1006,
    IDC_BUTTON_ADD_MUSIC = 1007,
    IDC_LIST_ITEMS = 1008,
    IDC_LIST_MUSIC = 1009,
    IDC_BUTTON_TRANSITION = 1016,
    IDC_STATIC_PICTURE = 1017,
    IDC_BUTTON_PREVIEW = 1019,
    IDC_STATIC_OUTPUT_INFO = 1021,
    IDC_BUTTON_DELETE_ITEM = 1029,
    IDC_BUTTON_DELETE_ALL = 1030,
    IDC_BUTTON_MOVE_UP = 1031,
    IDC_BUTTON_MOVE_DOWN = 1032,
    IDC_BUTTON_ITEM_PROPERTIES = 1033,
    IDC_BUTTON_ABOUT = 1042,
    IDC_BUTTON_HOMEPAGE = 1047,
    IDC_SLIDER_SEEK = 1055,
    IDC_BUTTON_CLOSE = 1056,
    IDC_STATIC_POSITION = 1057,
    IDC_BUTTON_PLAY = 1058,
    IDC_BUTTON_PAUSE = 1060,
    IDC_BUTTON_STOP = 1061,
    IDC_BUTTON_START_TIME = 1062,
    IDC_BUTTON_END_TIME = 1063,
    IDC_STATIC_END_TIME = 1064,
    IDC_STATIC_START_TIME = 1065,
    IDC_BUTTON_EXIT = 1076,
    IDC_BUTTON_HELP = 1084,
};

// Commands that are not buttons: the help command (F1).
enum MainCommandId : int {
    ID_HELP = 57670,
};

// Resource number of the main window's template.
constexpr int IDD_MAIN_DIALOG = 102;

} // namespace orvelin
