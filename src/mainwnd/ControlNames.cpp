// Names that screen readers announce for the main window's controls without
// a caption of their own.
#include "controls/Accessibility.h"
#include "mainwnd/ControlIds.h"
#include "mainwnd/MainDialog.h"

namespace orvelin {

void MainDialog::NameControls() {
    // The text displays are read as their name and the text they show.
    NameValueDisplay(this, IDC_STATIC_POSITION, QStringLiteral("Position and length"));
    NameValueDisplay(this, IDC_STATIC_START_TIME, QStringLiteral("Start time"));
    NameValueDisplay(this, IDC_STATIC_END_TIME, QStringLiteral("End time"));
    NameValueDisplay(this, IDC_STATIC_OUTPUT_INFO, QStringLiteral("Output"));
    NameControl(this, IDC_SLIDER_SEEK, QStringLiteral("Seek"));
    NameControl(this, IDC_STATIC_PICTURE, QStringLiteral("Picture"));
    NameControl(this, IDC_LIST_ITEMS, QStringLiteral("Items"));
    NameControl(this, IDC_LIST_MUSIC, QStringLiteral("Music"));
    NameControl(this, IDC_BUTTON_DELETE_ITEM, QStringLiteral("Delete selected item"));
    NameControl(this, IDC_BUTTON_DELETE_ALL, QStringLiteral("Delete all items"));
    NameControl(this, IDC_BUTTON_MOVE_UP, QStringLiteral("Move item up"));
    NameControl(this, IDC_BUTTON_MOVE_DOWN, QStringLiteral("Move item down"));
    NameControl(this, IDC_BUTTON_ITEM_PROPERTIES,
                QStringLiteral("Change selected item's properties"));
}

} // namespace orvelin
