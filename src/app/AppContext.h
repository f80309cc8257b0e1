#pragma once

#include <cstdint>

namespace orvelin {

class SettingsStore;
class UiServices;

// What the application object offers every part of the program: the settings
// store, the UI services and the slider-drag flag (1 while the left mouse
// button is held on the seek slider; the position display is not updated
// meanwhile).
struct AppContext {
    SettingsStore& settings;
    UiServices& ui;
    int32_t sliderDragging = 0;
};

} // namespace orvelin
