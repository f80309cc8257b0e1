// The controls of the Output options dialog at their template positions.
#include "controls/DialogUnits.h"
#include "options/OutputOptionsDialog.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include <array>

namespace orvelin {

namespace {

constexpr const char* kControlIdProperty = "controlId";

enum class Kind { Label, NoteLabel, Edit, CenteredEdit, DropList, Button, DefaultButton };

struct ControlRow {
    int id;
    Kind kind;
    const char* text;
    int x, y, w, h; // dialog units; for a drop-down list h is the height when open
};

using D = OutputOptionsDialog;

// In tab order.
constexpr std::array<ControlRow, 30> kControls{{
    {D::IDC_STATIC_OUTPUT_FILE, Kind::Label, "Output file:", 7, 7, 66, 14},
    {D::IDC_EDIT_OUTPUT_FILE, Kind::Edit, "", 80, 7, 126, 14},
    {D::IDC_BUTTON_BROWSE, Kind::Button, "Browse", 206, 7, 65, 14},
    {D::IDC_STATIC_RESOLUTION, Kind::Label, "Resolution:", 7, 29, 66, 14},
    {D::IDC_COMBO_RESOLUTION, Kind::DropList, "", 80, 29, 126, 137},
    {D::IDC_EDIT_WIDTH, Kind::CenteredEdit, "", 214, 29, 22, 14},
    {D::IDC_EDIT_HEIGHT, Kind::CenteredEdit, "", 248, 29, 22, 14},
    {D::IDC_STATIC_FRAME_RATE, Kind::Label, "Frame rate:", 7, 49, 66, 14},
    {D::IDC_COMBO_FRAME_RATE, Kind::DropList, "", 80, 49, 126, 90},
    {D::IDC_EDIT_FRAME_RATE, Kind::Edit, "", 214, 49, 36, 12},
    {D::IDC_STATIC_RESIZE_MODE, Kind::Label, "Resize mode:", 7, 69, 66, 14},
    {D::IDC_COMBO_RESIZE_MODE, Kind::DropList, "", 80, 69, 126, 35},
    {D::IDC_COMBO_OUTPUT_FORMAT, Kind::DropList, "", 204, 68, 67, 107},
    {D::IDC_STATIC_VIDEO_COMPRESSOR, Kind::Label, "Video compressor:", 7, 90, 66, 14},
    {D::IDC_COMBO_VIDEO_COMPRESSOR, Kind::DropList, "", 80, 90, 126, 217},
    {D::IDC_BUTTON_VIDEO_CODEC_SETTINGS, Kind::Button, "Settings", 205, 89, 66, 14},
    {D::IDC_STATIC_AUDIO_COMPRESSOR, Kind::Label, "Audio compressor:", 7, 110, 66, 14},
    {D::IDC_COMBO_AUDIO_COMPRESSOR, Kind::DropList, "", 80, 110, 126, 138},
    {D::IDC_STATIC_OPTIONS_NOTE, Kind::NoteLabel,
     "Note: some video and audio compressors may not work properly. For more detail, please "
     "read help.",
     7, 138, 264, 20},
    {D::IDC_STATIC_VIDEO_COMPRESSOR_BITRATE, Kind::Label, "Video encoding bitrate:", 7, 90, 100,
     14},
    {D::IDC_EDIT_VIDEO_BITRATE, Kind::Edit, "", 114, 90, 89, 14},
    {D::IDC_STATIC_VIDEO_KBPS, Kind::Label, "Kbps", 214, 90, 53, 14},
    {D::IDC_STATIC_AUDIO_COMPRESSOR_BITRATE, Kind::Label, "Audio encoding bitrate:", 7, 110, 100,
     14},
    {D::IDC_COMBO_AUDIO_BITRATE, Kind::DropList, "", 114, 110, 91, 110},
    {D::IDC_STATIC_AUDIO_KBPS, Kind::Label, "Kbps", 214, 110, 53, 14},
    {D::IDC_EDIT_AUDIO_BITRATE, Kind::Edit, "", 251, 114, 10, 14},
    {D::IDC_COMBO_VFW_CODECS, Kind::DropList, "", 215, 129, 16, 12},
    {D::IDC_BUTTON_OPTIONS_OK, Kind::DefaultButton, "OK", 33, 161, 66, 14},
    {D::IDC_BUTTON_OUTPUT_DEAULT, Kind::Button, "Default", 106, 161, 66, 14},
    {D::IDC_BUTTON_OPTIONS_CANCEL, Kind::Button, "Cancel", 179, 161, 66, 14},
}};

// The initial texts of the lists; entries that the dialog rewrites on
// opening keep their template text until then.
QStringList InitialItems(int id) {
    switch (id) {
    case D::IDC_COMBO_RESOLUTION:
        return {"Original size", "640*480",   "720 * 576", "720 * 480",  "480*576",
                "480*480",       "352 * 288", "352 * 240", "Custom size"};
    case D::IDC_COMBO_FRAME_RATE:
        return {"Original frame rate", "23.976", "24", "25", "29.97", "30", "Custom frame rate"};
    case D::IDC_COMBO_RESIZE_MODE:
        return {"Preserve aspect ratio", "Stretch"};
    case D::IDC_COMBO_AUDIO_BITRATE:
        return {"64", "128", "192", "320"};
    case D::IDC_COMBO_OUTPUT_FORMAT: {
        QStringList names;
        for (int32_t i = 0; i < kContainerCount; ++i)
            names << QString::fromLatin1(Container(i)->listText);
        return names;
    }
    default:
        return {};
    }
}

} // namespace

void OutputOptionsDialog::CreateControls() {
    setWindowTitle(QStringLiteral("Output options"));
    setFont(TemplateFont());
    const DialogUnits du(font());
    setFixedSize(du.X(278), du.Y(182));

    for (const ControlRow& row : kControls) {
        const QString text = QString::fromUtf8(row.text);
        QWidget* w = nullptr;
        QRect rect = du.Rect(row.x, row.y, row.w, row.h);
        switch (row.kind) {
        case Kind::Label:
        case Kind::NoteLabel: {
            auto* label = new QLabel(text, this);
            if (row.kind == Kind::NoteLabel) {
                label->setWordWrap(true);
                label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
            } else {
                label->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
            }
            w = label;
            break;
        }
        case Kind::Edit:
        case Kind::CenteredEdit: {
            auto* edit = new QLineEdit(this);
            if (row.kind == Kind::CenteredEdit)
                edit->setAlignment(Qt::AlignCenter);
            w = edit;
            break;
        }
        case Kind::DropList: {
            auto* combo = new QComboBox(this);
            combo->addItems(InitialItems(row.id));
            // The template height is that of the open list; closed, a list
            // is as tall as a text box.
            const int rowsOpen = qMax(1, (row.h - 14) / 8);
            combo->setMaxVisibleItems(rowsOpen);
            rect.setHeight(du.Y(row.y + 14) - du.Y(row.y));
            w = combo;
            break;
        }
        case Kind::Button:
        case Kind::DefaultButton: {
            auto* button = new QPushButton(text, this);
            button->setAutoDefault(false);
            button->setDefault(row.kind == Kind::DefaultButton);
            w = button;
            break;
        }
        }
        w->setGeometry(rect);
        w->setProperty(kControlIdProperty, row.id);
        controls_[row.id] = w;
    }

    // Holds the audio rate in thousands for nobody to see.
    ShowControl(IDC_EDIT_AUDIO_BITRATE, false);

    const auto button = [this](int id) { return qobject_cast<QPushButton*>(Control(id)); };
    connect(button(IDC_BUTTON_BROWSE), &QPushButton::clicked, this, &OutputOptionsDialog::OnBrowse);
    connect(button(IDC_BUTTON_OUTPUT_DEAULT), &QPushButton::clicked, this,
            &OutputOptionsDialog::OnDefault);
    connect(button(IDC_BUTTON_VIDEO_CODEC_SETTINGS), &QPushButton::clicked, this,
            &OutputOptionsDialog::OnVideoCodecSettings);
    connect(button(IDC_BUTTON_OPTIONS_OK), &QPushButton::clicked, this,
            &OutputOptionsDialog::accept);
    connect(button(IDC_BUTTON_OPTIONS_CANCEL), &QPushButton::clicked, this,
            &OutputOptionsDialog::reject);
}

QWidget* OutputOptionsDialog::Control(int id) const {
    const auto it = controls_.find(id);
    return it == controls_.end() ? nullptr : it->second;
}

QComboBox* OutputOptionsDialog::Combo(int id) const {
    return qobject_cast<QComboBox*>(Control(id));
}

QLineEdit* OutputOptionsDialog::Edit(int id) const {
    return qobject_cast<QLineEdit*>(Control(id));
}

void OutputOptionsDialog::ShowControl(int id, bool show) {
    if (QWidget* w = Control(id))
        w->setVisible(show);
}

} // namespace orvelin
