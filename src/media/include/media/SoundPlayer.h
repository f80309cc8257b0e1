#pragma once

#include <QByteArray>

namespace orvelin::media {

// Plays a short WAV sound asynchronously on a short-lived pipeline of its own.
// Never blocks the caller; silent when there is no audio device. While one
// sound plays, further requests are dropped rather than piled up.
void PlaySoundAsync(const QByteArray& wavData);

// Number of sounds currently playing (for tests and orderly shutdown).
int SoundsPlaying();

} // namespace orvelin::media
