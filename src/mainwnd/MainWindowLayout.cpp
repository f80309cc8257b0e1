#include "mainwnd/MainWindowLayout.h"

#include "mainwnd/ControlIds.h"

namespace orvelin {

const std::vector<ControlTemplate>& MainWindowTemplate() {
    using T = ControlTemplate;
    // The hidden slideshow controls keep positions inside the window; they
    // are never shown in this product.
    static const std::vector<ControlTemplate> controls{
        {0, T::GroupBox, "", 7, 0, 343, 39, false},
        {IDC_BUTTON_OPEN_VIDEO, T::ImageButton, "Open Video", 9, 5, 66, 32, false},
        {IDC_BUTTON_OPTIONS, T::ImageButton, "Options", 77, 5, 66, 32, false},
        {IDC_BUTTON_CONVERT, T::ImageButton, "Convert", 145, 5, 66, 32, false},
        {IDC_BUTTON_HELP, T::ImageButton, "&Help", 213, 5, 66, 32, false},
        {IDC_BUTTON_ABOUT, T::ImageButton, "About", 281, 5, 66, 32, false},
        {IDC_STATIC_POSITION, T::StaticCentredSunken, "", 68, 43, 202, 14, false},
        {IDC_SLIDER_SEEK, T::Slider, "", 7, 63, 343, 17, false},
        {IDC_BUTTON_PLAY, T::Button, "Play", 14, 87, 66, 14, false},
        {IDC_BUTTON_PAUSE, T::Button, "Pause", 132, 87, 66, 14, false},
        {IDC_BUTTON_STOP, T::Button, "Stop", 250, 87, 66, 14, false},
        {IDC_BUTTON_START_TIME, T::Button, "Start Time", 14, 116, 66, 14, false},
        {IDC_STATIC_START_TIME, T::StaticCentredSunken, "", 82, 116, 66, 14, false},
        {IDC_BUTTON_END_TIME, T::Button, "End Time", 180, 116, 66, 14, false},
        {IDC_STATIC_END_TIME, T::StaticCentredSunken, "", 248, 116, 66, 14, false},
        {IDC_BUTTON_HOMEPAGE, T::ImageButton, "Homepage", 133, 141, 66, 22, false},
        {IDC_BUTTON_EXIT, T::ImageButton, "Exit", 252, 141, 66, 22, false},
        {IDC_STATIC_OUTPUT_INFO, T::StaticSunken, "", 7, 175, 343, 14, false},
        {IDC_BUTTON_ADD_MUSIC, T::ImageButton, "Add Music", 9, 141, 66, 22, true},
        {IDC_LIST_ITEMS, T::ListView, "", 7, 43, 343, 60, true},
        {IDC_LIST_MUSIC, T::ListView, "", 7, 105, 343, 30, true},
        {IDC_BUTTON_TRANSITION, T::ImageButton, "Transition", 77, 141, 54, 22, true},
        {IDC_STATIC_PICTURE, T::BlackStatic, "", 270, 43, 80, 60, true},
        {IDC_BUTTON_PREVIEW, T::ImageButton, "Preview", 201, 141, 49, 22, true},
        {IDC_BUTTON_DELETE_ITEM, T::ImageButton, "", 320, 105, 14, 14, true},
        {IDC_BUTTON_DELETE_ALL, T::ImageButton, "", 336, 105, 14, 14, true},
        {IDC_BUTTON_MOVE_UP, T::ImageButton, "", 288, 105, 14, 14, true},
        {IDC_BUTTON_MOVE_DOWN, T::ImageButton, "", 304, 105, 14, 14, true},
        {IDC_BUTTON_ITEM_PROPERTIES, T::ImageButton, "", 272, 105, 14, 14, true},
        {IDC_BUTTON_CLOSE, T::Button, "Close", 320, 87, 30, 14, true},
    };
    return controls;
}

} // namespace orvelin
