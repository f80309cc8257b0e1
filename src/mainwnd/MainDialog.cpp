#include "mainwnd/MainDialog.h"

#include "app/AppContext.h"
#include "app/SettingsStore.h"
#include "app/UiServices.h"
#include "controls/Accessibility.h"
#include "controls/DialogUnits.h"
#include "controls/ImageButton.h"
#include "controls/Resources.h"
#include "controls/SeekSlider.h"
#include "controls/Theme.h"
#include "convert/ConversionController.h"
#include "convert/Slideshow.h"
#include "lang/BuiltinStrings.h"
#include "lang/LanguagePack.h"
#include "mainwnd/ControlIds.h"
#include "mainwnd/MainWindowLayout.h"
#include "mainwnd/PictureSurface.h"
#include "media/MediaPlatform.h"
#include "options/CompressorCatalog.h"
#include "preview/PreviewPlayer.h"
#include "preview/PreviewWindow.h"

#include <QCloseEvent>
#include <QGroupBox>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QShortcut>
#include <QTableWidget>

#include <cstdlib>
#include <ctime>

namespace orvelin {

namespace {
constexpr const char* kControlIdProperty = "controlId";

LanguagePack& Lang() {
    return LanguagePack::Instance();
}

QLabel* MakeStatic(QWidget* parent, bool centred) {
    auto* label = new QLabel(parent);
    label->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    label->setAlignment(centred ? Qt::AlignCenter : (Qt::AlignLeft | Qt::AlignVCenter));
    label->setTextFormat(Qt::PlainText);
    label->setAutoFillBackground(true);
    return label;
}
} // namespace

MainDialog::MainDialog(AppContext& app, QWidget* parent) : QDialog(parent), app_(app) {
    // 1. The background bitmap.
    background_ = LoadBitmapResource(139);
    // 2. The controls of the template.
    CreateControls();
    // Named before any text is shown, so that screen readers meet the
    // displays as name and value from the start.
    NameControls();
    // A video file dropped on the window opens as through Open Video.
    setAcceptDrops(true);
    // Connected first, so that Exit works even when the initialisation stops
    // early.
    ConnectCommands();
    Initialize();
    OrderTabsByLayout(this);
}

MainDialog::~MainDialog() {
    conversion_.reset();
    ClosePreview();
}

UiServices& MainDialog::Ui() {
    return app_.ui;
}

void MainDialog::SetConvertButtonText(const QString& text) {
    SetControlText(IDC_BUTTON_CONVERT, text);
}

void MainDialog::SetTimelinePreviewButtonText(const QString& text) {
    SetControlText(IDC_BUTTON_PREVIEW, text);
}

void MainDialog::SetStatusText(const QString& text) {
    SetControlText(IDC_STATIC_OUTPUT_INFO, text);
}

void MainDialog::CreateControls() {
    setWindowTitle(QStringLiteral("Orvelin"));
    setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint);
    setFont(TemplateFont());
    const DialogUnits du(font());
    setFixedSize(du.X(kMainDialogWidthDu), du.Y(kMainDialogHeightDu));

    for (const ControlTemplate& t : MainWindowTemplate()) {
        QWidget* w = nullptr;
        const QString caption = QString::fromUtf8(t.caption);
        switch (t.kind) {
        case ControlTemplate::ImageButton:
            w = new ImageButton(caption, this);
            break;
        case ControlTemplate::Button: {
            auto* button = new QPushButton(caption, this);
            button->setAutoDefault(false);
            w = button;
            break;
        }
        case ControlTemplate::GroupBox:
            w = new QGroupBox(this);
            break;
        case ControlTemplate::StaticSunken:
            w = MakeStatic(this, false);
            break;
        case ControlTemplate::StaticCentredSunken:
            w = MakeStatic(this, true);
            break;
        case ControlTemplate::Slider:
            slider_ = new SeekSlider(&app_.sliderDragging, this);
            w = slider_;
            break;
        case ControlTemplate::ListView:
            w = new QTableWidget(this);
            break;
        case ControlTemplate::BlackStatic:
            w = new QLabel(this);
            break;
        }
        w->setGeometry(du.Rect(t.left, t.top, t.width, t.height));
        w->setProperty(kControlIdProperty, t.id);
        if (t.id != 0) {
            w->setObjectName(QString::number(t.id));
            controls_[t.id] = w;
        }
    }
}

QWidget* MainDialog::Control(int id) const {
    const auto it = controls_.find(id);
    return it == controls_.end() ? nullptr : it->second;
}

QString MainDialog::ControlText(int id) const {
    QWidget* w = Control(id);
    if (auto* label = qobject_cast<QLabel*>(w))
        return label->text();
    if (auto* button = qobject_cast<QAbstractButton*>(w))
        return button->text();
    return {};
}

void MainDialog::SetControlText(int id, const QString& text) {
    QWidget* w = Control(id);
    if (auto* label = qobject_cast<QLabel*>(w)) {
        const QString old = label->text();
        label->setText(text);
        if (IsValueDisplay(label))
            NotifyValueChanged(label, old);
        else
            label->setAccessibleName(text);
        // The slider's 0 to 600 says little; screen readers also get the
        // time it stands for.
        if (id == IDC_STATIC_POSITION && slider_)
            slider_->setAccessibleDescription(text);
    } else if (auto* button = qobject_cast<QAbstractButton*>(w)) {
        button->setText(text);
    }
}

void MainDialog::EnableControl(int id, bool enable) {
    if (QWidget* w = Control(id))
        w->setEnabled(enable);
}

void MainDialog::Initialize() {
    // 3. The system menu of a Linux window manager cannot take items; About
    //    is reached through the About button and the popup menu instead.
    // 4. The window icon.
    setWindowIcon(LoadIconResource(128));
    // 5. Linux counts as version 6 or later: the default output folder is the
    //    user's videos folder.
    state_.osMajorVersion = 6;
    // 6. No conversion objects exist yet (the conversion owns its slots).
    // 7. The container index, first read of the output settings.
    state_.output.outputFormat = LoadOutputFormat(app_.settings);
    // 8. The media platform.
    if (media::Failed(media::InitializeMediaPlatform())) {
        app_.ui.MessageBox(nullptr, QStringLiteral("Could not initialize COM library."),
                           QStringLiteral("Error"));
        return;
    }
    // 9.
    state_.output.useVideoCompressor = 0;
    state_.output.useAudioCompressor = 0;
    // 10. The slideshow list views.
    SetUpListViews();
    // 11. Transition settings.
    LoadTransitionSettings(app_.settings, state_);
    // 12. Random transitions.
    std::srand(static_cast<unsigned>(std::time(nullptr)));
    // 13. The picture surface on the (hidden) picture control.
    if (QWidget* picture = Control(IDC_STATIC_PICTURE)) {
        pictureSurface_ = new PictureSurface(picture);
        pictureSurface_->setGeometry(picture->rect());
    }
    // 14. The output file.
    state_.output.outputPath = LoadOutputName(app_.settings, app_.ui, state_.output.outputFormat);
    // 15. The frame size.
    state_.output.outputWidth = app_.settings.GetInt("Settings", "OutputWidth", 0);
    state_.output.outputHeight = app_.settings.GetInt("Settings", "OutputHigh", 0);
    // 16. The output information line, first form.
    WriteOutputInfoFirstForm();
    // 17. Icons, sounds, cursors and tooltips of the image buttons.
    SetUpImageButtons();
    // 18. The slideshow controls stay hidden.
    for (int id : {IDC_LIST_MUSIC, IDC_LIST_ITEMS, IDC_BUTTON_MOVE_UP, IDC_BUTTON_MOVE_DOWN,
                   IDC_BUTTON_DELETE_ITEM, IDC_BUTTON_DELETE_ALL, IDC_BUTTON_ITEM_PROPERTIES,
                   IDC_BUTTON_TRANSITION, IDC_BUTTON_PREVIEW, IDC_BUTTON_ADD_MUSIC}) {
        if (QWidget* w = Control(id))
            w->hide();
    }
    // 19. The slider.
    slider_->setRange(0, 600);
    slider_->setValue(0);
    // 20.
    if (QWidget* picture = Control(IDC_STATIC_PICTURE))
        picture->hide();
    SetControlText(IDC_STATIC_START_TIME, QStringLiteral("00:00:00"));
    SetControlText(IDC_STATIC_END_TIME, QStringLiteral("00:00:00"));
    DisablePlaybackControls();
    if (QWidget* close = Control(IDC_BUTTON_CLOSE))
        close->hide();
    // 21. The frame rate.
    state_.output.frameRateIndex = app_.settings.GetInt("Settings", "OutputFrameRateIndex", 1);
    ApplyFrameRateIndex(app_.settings, state_.output.frameRateIndex, state_.output.outputFrameRate);
    // 22. Bit rates and profile.
    state_.output.videoBitrate = app_.settings.GetInt("Settings", "n_video_bitrate", 798720);
    state_.output.audioBitrate = app_.settings.GetInt("Settings", "n_audio_bitrate", 128000);
    state_.output.fileProfile = app_.settings.GetInt("Settings", "b_file_profile", 0);
    // 23. The current language.
    Lang().ApplyToDialog(this, IDD_MAIN_DIALOG);

    conversion_ = std::make_unique<ConversionController>(*this);
    initialized_ = true;
}

void MainDialog::SetUpListViews() {
    auto setUp = [](QWidget* w, const QStringList& columns, const QList<int>& widths) {
        auto* list = qobject_cast<QTableWidget*>(w);
        if (!list)
            return;
        list->setSelectionBehavior(QAbstractItemView::SelectRows);
        list->setShowGrid(true);
        list->setColumnCount(static_cast<int>(columns.size()));
        list->setHorizontalHeaderLabels(columns);
        list->verticalHeader()->hide();
        list->horizontalHeader()->setDefaultAlignment(Qt::AlignCenter);
        for (int i = 0; i < widths.size(); ++i)
            list->setColumnWidth(i, widths[i]);
    };
    setUp(Control(IDC_LIST_ITEMS), {"Photo File Name", "Duration(s)", "Transition", "Duration(s)"},
          {134, 80, 160, 80});
    setUp(Control(IDC_LIST_MUSIC), {"Music File Name", "Duration(s)"}, {134, 80});
}

void MainDialog::SetUpImageButtons() {
    struct Row {
        int id;
        int icon;
        QString tooltip;
    };
    const Row rows[] = {
        {IDC_BUTTON_OPEN_VIDEO, 140, Lang().GetString(IDS_TIP_OPEN_VIDEO)},
        {IDC_BUTTON_ADD_MUSIC, 140, "Add background music to list"},
        {IDC_BUTTON_TRANSITION, 145, "Customize photo and transition options"},
        {IDC_BUTTON_OPTIONS, 146, Lang().GetString(IDS_TIP_OUTPUT_OPTIONS)},
        {IDC_BUTTON_PREVIEW, 147, "Preview"},
        {IDC_BUTTON_CONVERT, 128, Lang().GetString(IDS_TIP_CONVERT)},
        {IDC_BUTTON_HELP, 148, "Help"},
        {IDC_BUTTON_MOVE_UP, 150, "Move item up"},
        {IDC_BUTTON_MOVE_DOWN, 151, "Move item down"},
        {IDC_BUTTON_DELETE_ITEM, 152, "Delete selected item"},
        {IDC_BUTTON_DELETE_ALL, 154, "Delete all items"},
        {IDC_BUTTON_ITEM_PROPERTIES, 155, "Change selected item's properties"},
        {IDC_BUTTON_HOMEPAGE, 158, "Homepage"},
        {IDC_BUTTON_ABOUT, 156, "About"},
        {IDC_BUTTON_EXIT, 159, "Exit"},
    };
    const QByteArray sound = LoadWaveResource(144);
    for (const Row& row : rows) {
        auto* button = qobject_cast<ImageButton*>(Control(row.id));
        if (!button)
            continue;
        button->SetIcon(row.icon);
        button->SetSound(sound, false, true);
        button->SetTransparent(false);
        button->SetCursor(141, false);
        button->SetTooltip(row.tooltip, true);
        button->SetAlignment(1, true);
    }
}

void MainDialog::ConnectCommands() {
    auto onClick = [this](int id, auto handler) {
        if (auto* button = qobject_cast<QAbstractButton*>(Control(id)))
            connect(button, &QAbstractButton::clicked, this, handler);
    };
    onClick(IDC_BUTTON_EXIT, [this] { OnExit(); });
    onClick(IDC_BUTTON_OPEN_VIDEO, [this] { OpenVideo(); });
    onClick(IDC_BUTTON_OPTIONS, [this] { OnOptions(); });
    onClick(IDC_BUTTON_CONVERT, [this] {
        if (conversion_)
            conversion_->OnConvertClicked();
    });
    onClick(IDC_BUTTON_PREVIEW, [this] {
        if (conversion_)
            conversion_->OnTimelinePreviewClicked();
    });
    onClick(IDC_BUTTON_START_TIME, [this] { TakeTrimStart(); });
    onClick(IDC_BUTTON_END_TIME, [this] { TakeTrimEnd(); });
    onClick(IDC_BUTTON_PLAY, [this] { OnPlay(); });
    onClick(IDC_BUTTON_PAUSE, [this] { OnPause(); });
    onClick(IDC_BUTTON_STOP, [this] { OnStop(); });
    connect(slider_, &SeekSlider::captureReleased, this, [this] { OnSliderReleased(); });
    connect(slider_, &SeekSlider::keyMove, this, &MainDialog::OnSliderKey);
    onClick(IDC_BUTTON_CLOSE, [this] { OnCloseCommand(); });
    onClick(IDC_BUTTON_HELP, [this] { ShowHelp(); });
    onClick(IDC_BUTTON_HOMEPAGE, [this] { OpenHomepage(); });
    onClick(IDC_BUTTON_ABOUT, [this] { OnAbout(); });
    // The help command (57670) is the F1 key.
    auto* help = new QShortcut(QKeySequence::HelpContents, this);
    help->setProperty("commandId", ID_HELP);
    connect(help, &QShortcut::activated, this, [this] { ShowHelp(); });
}

void MainDialog::WriteOutputInfoFirstForm() {
    SetControlText(IDC_STATIC_OUTPUT_INFO,
                   QString("%1 %2     %3 %4")
                       .arg(Lang().GetString(IDS_OUTPUT_FILE), state_.output.outputPath,
                            Lang().GetString(IDS_RESOLUTION), Lang().GetString(IDS_ORIGINAL_SIZE)));
}

void MainDialog::RefreshOutputInfo() {
    if (state_.sourceWidth == 0 && state_.sourceHeight == 0) {
        WriteOutputInfoFirstForm();
        return;
    }
    SetControlText(IDC_STATIC_OUTPUT_INFO,
                   QString("%1 %2     %3 %4*%5")
                       .arg(Lang().GetString(IDS_OUTPUT_FILE), state_.output.outputPath,
                            Lang().GetString(IDS_RESOLUTION))
                       .arg(state_.output.outputWidth)
                       .arg(state_.output.outputHeight));
}

void MainDialog::DisablePlaybackControls() {
    for (int id :
         {IDC_BUTTON_CONVERT, IDC_SLIDER_SEEK, IDC_BUTTON_PLAY, IDC_BUTTON_PAUSE, IDC_BUTTON_STOP,
          IDC_BUTTON_START_TIME, IDC_BUTTON_END_TIME, IDC_STATIC_START_TIME, IDC_STATIC_END_TIME})
        EnableControl(id, false);
}

void MainDialog::EnablePlaybackControls() {
    for (int id :
         {IDC_BUTTON_CONVERT, IDC_SLIDER_SEEK, IDC_BUTTON_PLAY, IDC_BUTTON_PAUSE, IDC_BUTTON_STOP,
          IDC_BUTTON_START_TIME, IDC_BUTTON_END_TIME, IDC_STATIC_START_TIME, IDC_STATIC_END_TIME})
        EnableControl(id, true);
}

void MainDialog::DisableEditControls() {
    for (int id :
         {IDC_BUTTON_OPEN_VIDEO, IDC_BUTTON_OPTIONS, IDC_BUTTON_START_TIME, IDC_BUTTON_END_TIME})
        EnableControl(id, false);
}

void MainDialog::EnableEditControls() {
    for (int id :
         {IDC_BUTTON_OPEN_VIDEO, IDC_BUTTON_OPTIONS, IDC_BUTTON_START_TIME, IDC_BUTTON_END_TIME})
        EnableControl(id, true);
}

void MainDialog::BlockCommands(bool block) {
    if (block == commandsBlocked_)
        return;
    commandsBlocked_ = block;
    if (block) {
        blockedControls_.clear();
        for (const auto& [id, w] : controls_) {
            if (qobject_cast<QAbstractButton*>(w) || w == slider_) {
                blockedControls_.emplace_back(w, w->isEnabled());
                w->setEnabled(false);
            }
        }
        return;
    }
    for (const auto& [w, enabled] : blockedControls_)
        w->setEnabled(enabled);
    blockedControls_.clear();
}

void MainDialog::ClosePreview() {
    if (player_) {
        if (player_->State() != PreviewPlayer::kClosed)
            player_->Close();
        player_.reset();
    }
    state_.sliderPosition = 0;
    if (slider_)
        slider_->setValue(0);
    update();
}

void MainDialog::OnCloseCommand() {
    if (commandsBlocked_)
        return;
    ClosePreview();
    state_.itemCount = 0;
    state_.items.clear();
    state_.trimStart = 0;
    state_.trimEnd = 0;
    SetControlText(IDC_STATIC_START_TIME, QStringLiteral("00:00:00"));
    SetControlText(IDC_STATIC_END_TIME, QStringLiteral("00:00:00"));
    SetControlText(IDC_STATIC_POSITION, QString());
    DisablePlaybackControls();
}

void MainDialog::OnExit() {
    RequestClose();
}

bool MainDialog::RequestClose() {
    if (closing_)
        return true;
    if (commandsBlocked_)
        return false; // a conversion is being set up
    if (state_.converting == 1) {
        app_.ui.MessageBox(this, Lang().GetString(IDS_MESSAGE_STOP_CONVERTING),
                           Lang().GetString(IDS_MESSAGE_WARNING));
        return false;
    }
    if (state_.timelinePreviewRunning == 1) {
        app_.ui.FrameworkMessageBox(this, QStringLiteral("Please first stop Preview"));
        return false;
    }
    closing_ = true;
    ReleaseSelectedCompressors();
    ClosePreview();
    if (pictureSurface_)
        pictureSurface_->ClearBitmap();
    app_.settings.WriteString("Option", "CurrentLanguage", Lang().CurrentName());
    QDialog::done(QDialog::Rejected);
    return true;
}

// The dialog's OK and Cancel (Enter and Escape) never end the window: it ends
// through Exit, its close button or the window manager's close (Alt+F4), each
// of which passes the close checks.
void MainDialog::accept() {}

void MainDialog::reject() {}

void MainDialog::closeEvent(QCloseEvent* event) {
    if (RequestClose())
        event->accept();
    else
        event->ignore();
}

void MainDialog::keyPressEvent(QKeyEvent* event) {
    const bool enter = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
    const bool plain = event->modifiers() == Qt::NoModifier ||
                       (event->modifiers() == Qt::KeypadModifier && event->key() == Qt::Key_Enter);
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        // Over a full-screen preview (the main window brought above it by a
        // click) Escape leaves full screen, as it does in the preview itself.
        if (player_ && player_->Window() && player_->Window()->IsFullScreen())
            player_->Window()->LeaveFullScreen();
        event->accept();
        return;
    }
    if (!enter || !plain) {
        QDialog::keyPressEvent(event);
        return;
    }
    // No button is the default: Enter presses the focused button and does
    // nothing anywhere else.
    auto* button = qobject_cast<QAbstractButton*>(focusWidget());
    if (button && button->window() == this && button->isEnabled() && button->isVisible())
        button->click();
    event->accept();
}

void MainDialog::paintEvent(QPaintEvent* event) {
    QPainter painter(this);
    // The background bitmap tiled from the top-left corner; on a dark palette
    // its pattern is laid over the palette's window colour.
    if (!background_.isNull())
        painter.drawTiledPixmap(rect(), BackgroundForPalette(background_, palette()), QPoint(0, 0));
    QDialog::paintEvent(event);
}

} // namespace orvelin
