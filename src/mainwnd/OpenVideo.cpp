// The Open Video command of the main window.
#include "app/AppContext.h"
#include "app/SettingsStore.h"
#include "app/UiServices.h"
#include "convert/Slideshow.h"
#include "lang/BuiltinStrings.h"
#include "lang/LanguagePack.h"
#include "mainwnd/ControlIds.h"
#include "mainwnd/MainDialog.h"
#include "mainwnd/TimeText.h"
#include "mainwnd/VideoProbe.h"

namespace orvelin {

void MainDialog::OpenVideo() {
    if (commandsBlocked_)
        return;
    LanguagePack& lang = LanguagePack::Instance();
    FileDialogRequest request;
    request.owner = this;
    request.title = lang.GetString(IDS_TIP_OPEN_VIDEO);
    request.filters = {
        {QStringLiteral("Any Files (*.*)"), QStringLiteral("*.*")},
        {QStringLiteral("Video Files (*.mpeg;*.mpg;*.avi;*.wmv;*.dat;*.asf;*.vob;*.ogm;*.divx;"
                        "*.div;*.mkv)"),
         QStringLiteral("*.mpeg;*.mpg;*.avi;*.asf;*.wmv;*.dat;*.vob;*.ogm;*.divx;*.div;*.mkv")},
    };
    request.selectedFilter = 0;
    request.startFolder = app_.settings.GetString("Option", "LastPhotoFolder", QString());
    const std::optional<QString> chosen = app_.ui.OpenFileName(request);
    if (!chosen || chosen->isEmpty())
        return;
    OpenVideoFile(*chosen);
}

void MainDialog::OpenVideoFile(const QString& path) {
    LanguagePack& lang = LanguagePack::Instance();
    // The job being set up reads the entries this would replace.
    if (commandsBlocked_ || state_.converting || path.isEmpty())
        return;

    // Any previous video and its music entry are dropped.
    ClearSlideshowLists(state_);
    REFERENCE_TIME duration = 0;
    if (ProbeVideo(app_.ui, this, path, &duration, state_) != 1) {
        app_.ui.MessageBox(
            this, lang.GetString(IDS_MESSAGE_NO_DURATION) + lang.GetString(IDS_MESSAGE_CANNOT_OPEN),
            lang.GetString(IDS_MESSAGE_ERROR) + " IDS_MESSAGE_NO_DURATION");
        return;
    }
    const REFERENCE_TIME musicLength = MeasureMediaLength(path);
    SetOpenedVideo(state_, path, duration, musicLength, DefaultRandomSource());
    app_.settings.WriteString("Option", "LastPhotoFolder", FolderOf(state_.items[0].path));

    state_.trimStart = 0;
    state_.trimEnd = state_.items[0].duration;
    SetControlText(IDC_STATIC_POSITION, PositionText(0, state_.items[0].duration));
    SetControlText(IDC_STATIC_END_TIME, TimeText(state_.items[0].duration));
    SetControlText(IDC_STATIC_START_TIME, QStringLiteral("00:00:00"));

    ClosePreview();
    if (!StartFilePreview(state_.items[0].path)) {
        state_.items[0].path.clear();
        ClosePreview();
    }
    EnablePlaybackControls();
    RefreshOutputInfo();
    if (state_.output.frameRateIndex == 0)
        state_.output.outputFrameRate = state_.sourceFrameRate;
}

} // namespace orvelin
