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
// platform version are left out (ExcludedCompressors says which and why);
// a list for one multiplexer holds only those that pass a real trial into it
// at every frame rate the program writes.

enum class CompressorKind { Video, Audio };

struct CompressorDevice {
    QString factoryName;  // what binding creates
    QString friendlyName; // what lists show
    QStringList muxers;   // the program's multiplexers that take its output
    int rank = 0;
};

// The multiplexers the program writes with, by factory name.
QStringList ProgramMultiplexers();

// The compressors of a kind that work into `muxer` (a factory name of
// ProgramMultiplexers), in their stable order: rank descending, then factory
// name. The first listing for a multiplexer after a plug-in change runs the
// trials (seconds); later ones read their kept verdicts. Fails (E_FAIL,
// nothing listed) when the media platform is not initialised.
HRESULT EnumerateCompressors(CompressorKind kind, const QString& muxer,
                             std::vector<CompressorDevice>& devices);
// The same for the default container, Matroska.
HRESULT EnumerateCompressors(CompressorKind kind, std::vector<CompressorDevice>& devices);

// Whether `muxer` stores the stream of its kind without a compressor (the
// timeline's raw pictures or 16-bit sound).
bool MultiplexerTakesUncompressed(const QString& muxer, CompressorKind kind);

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
// Installed encoders a multiplexer would take that the catalogue leaves out
// of every list.
std::vector<ExcludedCompressor> ExcludedCompressors(CompressorKind kind);
// Those left out of the list for `muxer`, with the trials' findings.
std::vector<ExcludedCompressor> ExcludedCompressors(CompressorKind kind, const QString& muxer);

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
