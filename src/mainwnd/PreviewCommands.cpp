// The main window's side of the preview: playback buttons, the seek slider,
// the position message and the trim points.
#include "app/AppContext.h"
#include "controls/SeekSlider.h"
#include "mainwnd/ControlIds.h"
#include "mainwnd/MainDialog.h"
#include "mainwnd/TimeText.h"
#include "preview/PreviewPlayer.h"

namespace orvelin {

bool MainDialog::StartFilePreview(const QString& path) {
    player_ = std::make_unique<PreviewPlayer>(app_, this);
    player_->SetFileName(path);
    // Both are posted messages: the close command deletes the player, so it
    // must not run inside the player's own call.
    connect(player_.get(), &PreviewPlayer::positionMessage, this, &MainDialog::OnPositionMessage,
            Qt::QueuedConnection);
    connect(
        player_.get(), &PreviewPlayer::closeCommand, this, [this] { OnCloseCommand(); },
        Qt::QueuedConnection);
    return player_->OpenFile() == 1;
}

void MainDialog::OnPlay() {
    if (commandsBlocked_)
        return;
    if (player_)
        player_->Play();
}

void MainDialog::OnPause() {
    if (commandsBlocked_)
        return;
    if (player_)
        player_->Pause();
}

void MainDialog::OnStop() {
    if (commandsBlocked_)
        return;
    if (player_)
        player_->Stop();
}

void MainDialog::OnSliderReleased() {
    if (commandsBlocked_)
        return;
    state_.sliderPosition = slider_->value();
    if (player_)
        player_->SeekToSliderPosition(state_.sliderPosition);
}

void MainDialog::OnPositionMessage(qint64 currentPosition, qint64 stopPosition) {
    if (app_.sliderDragging == 1)
        return;
    if (!player_) {
        SetControlText(IDC_STATIC_POSITION, QString());
        return;
    }
    SetControlText(IDC_STATIC_POSITION, PositionText(currentPosition, stopPosition));
    state_.sliderPosition = stopPosition == 0
                                ? 0
                                : static_cast<int32_t>(static_cast<double>(currentPosition) /
                                                       static_cast<double>(stopPosition) * 600.0);
    slider_->setValue(state_.sliderPosition);
}

void MainDialog::TakeTrimStart() {
    if (commandsBlocked_)
        return;
    if (!player_)
        return;
    state_.trimStart = player_->CurrentPosition();
    SetControlText(IDC_STATIC_START_TIME, TimeText(state_.trimStart));
}

void MainDialog::TakeTrimEnd() {
    if (commandsBlocked_)
        return;
    if (!player_)
        return;
    state_.trimEnd = player_->CurrentPosition();
    SetControlText(IDC_STATIC_END_TIME, TimeText(state_.trimEnd));
}

} // namespace orvelin
