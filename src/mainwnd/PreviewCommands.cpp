// The main window's side of the preview: playback buttons, the seek slider,
// the position message and the trim points.
#include "app/AppContext.h"
#include "controls/SeekSlider.h"
#include "mainwnd/ControlIds.h"
#include "mainwnd/MainDialog.h"
#include "mainwnd/TimeText.h"
#include "preview/PreviewPlayer.h"

#include <algorithm>

namespace orvelin {

bool MainDialog::StartFilePreview(const QString& path) {
    player_ = std::make_unique<PreviewPlayer>(app_, this);
    player_->SetFileName(path);
    // A video dropped on the preview opens as one dropped here.
    player_->SetDropTarget([this](const QMimeData* mime, bool drop) {
        return drop ? TakeDrop(mime) : TakesDrop(mime);
    });
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
    ShowPosition(currentPosition, stopPosition);
}

void MainDialog::ShowPosition(qint64 currentPosition, qint64 stopPosition) {
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

void MainDialog::OnSliderKey(SeekSlider::KeyMove move) {
    if (commandsBlocked_ || !player_)
        return;
    // Positions read now, not those of the last poll (up to a second old
    // while playing); a seek still under way counts as done.
    player_->PollPosition();
    const qint64 stop = player_->StopPosition();
    const qint64 now = player_->CurrentPosition();
    if (stop <= 0)
        return;
    constexpr qint64 kSecond = 10'000'000;
    qint64 target = now;
    switch (move) {
    case SeekSlider::KeyMove::Back:
        target = now - kSecond;
        break;
    case SeekSlider::KeyMove::Forward:
        target = now + kSecond;
        break;
    case SeekSlider::KeyMove::PageBack:
        target = now - 10 * kSecond;
        break;
    case SeekSlider::KeyMove::PageForward:
        target = now + 10 * kSecond;
        break;
    case SeekSlider::KeyMove::Start:
        target = 0;
        break;
    case SeekSlider::KeyMove::End:
        target = stop;
        break;
    }
    target = std::clamp<qint64>(target, 0, stop);
    player_->SeekTo(target);
    // The new place becomes the current position at once: the trim buttons
    // take it, and the thumb and the position text show it although the
    // key's flag holds the periodic update back.
    player_->PollPosition();
    ShowPosition(player_->CurrentPosition(), player_->StopPosition());
    state_.sliderPosition = slider_->value();
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
