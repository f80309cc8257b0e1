#pragma once

// Which streams of a file its container marks to be played by default; for
// the media seam only.

#include <QByteArray>
#include <QString>
#include <chrono>
#include <vector>

namespace orvelin::media {

struct StreamMark {
    QByteArray id;           // the stream's id, as the demultiplexer gives it
    bool isDefault = false;  // the container marks it to be played by default
    bool isDisabled = false; // the container marks it not to be played
};

// Opens `path` without decoding and reads how its container marks each
// stream (Matroska's "default" and "enabled" flags, for instance). Empty
// when the file cannot be read within `budget`.
std::vector<StreamMark> ReadStreamMarks(const QString& path, std::chrono::milliseconds budget);

// Of `candidates` (stream ids in the order of the file), the one the marks
// name as default; else the first not marked disabled; else the first.
QByteArray ChooseMarkedStream(const std::vector<QByteArray>& candidates,
                              const std::vector<StreamMark>& marks);

} // namespace orvelin::media
