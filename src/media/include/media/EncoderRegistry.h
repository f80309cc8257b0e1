#pragma once

#include "media/Filter.h"
#include "media/MediaPlatform.h"

#include <QString>
#include <QStringList>
#include <memory>
#include <vector>

namespace orvelin::media {

// The installed compressors, found in the GStreamer registry: encoder
// factories whose output one of the program's multiplexers takes and that
// really write a playable stream here. Encoders known to fail with this
// platform version are left out (ExcludedCompressors says which and why).

enum class CompressorKind { Video, Audio };

struct CompressorDevice {
    QString factoryName;  // what binding creates
    QString friendlyName; // what lists show
    QStringList muxers;   // the program's multiplexers that take its output
    int rank = 0;
};

// The multiplexers the program writes with, by factory name.
QStringList ProgramMultiplexers();

// The compressors of a kind in their stable order: rank descending, then
// factory name. Fails (E_FAIL, nothing listed) when the media platform is
// not initialised.
HRESULT EnumerateCompressors(CompressorKind kind, std::vector<CompressorDevice>& devices);

// Creates a compressor instance ready for an output graph, with its settings
// at the encoder's defaults. Its native element is a bin with one "sink" pad
// (raw video or audio in any format; the bin converts to what the encoder
// takes) and one "src" pad (the encoded stream, parsed where a multiplexer
// needs it). Its properties are the encoder's. nullptr when the encoder is
// missing, left out of the catalogue, or cannot be made.
std::shared_ptr<Filter> BindCompressor(const QString& factoryName);

struct ExcludedCompressor {
    QString factoryName;
    QString reason;
};
// Installed encoders a multiplexer would take that the catalogue leaves out.
std::vector<ExcludedCompressor> ExcludedCompressors(CompressorKind kind);

// The installed video encoders by description, for configuring the chosen
// compressor: at most 50, each one able to take a 352 × 240 24-bit RGB frame,
// in catalogue order. The description is the catalogue's friendly name.
struct VfwCompressorInfo {
    QString type;        // "vidc"
    QString handler;     // the encoder's factory name
    QString name;        // short name
    QString description; // long name
};
std::vector<VfwCompressorInfo> ListVfwCompressors();

} // namespace orvelin::media
