#pragma once

#include <QString>
#include <vector>

namespace orvelin {

// One control of the main window's template: identifier (0 for the unnamed
// group box), kind, caption and position in dialog units.
struct ControlTemplate {
    enum Kind {
        ImageButton,
        Button,
        GroupBox,
        StaticSunken,
        StaticCentredSunken,
        Slider,
        ListView,
        BlackStatic
    };
    int id;
    Kind kind;
    const char* caption;
    int left, top, width, height;
    bool hiddenAtStart; // the slideshow controls, hidden during initialisation
};

// The template of the main window, in creation (tab) order.
const std::vector<ControlTemplate>& MainWindowTemplate();

// Size of the main window's client area in dialog units.
constexpr int kMainDialogWidthDu = 357;
constexpr int kMainDialogHeightDu = 196;

} // namespace orvelin
