#pragma once

#include "options/CompressorCatalog.h"

#include <QString>
#include <vector>

namespace orvelin::test {

// A compressor source whose devices a test chooses; binding makes the real
// encoder (and fails for factories that do not exist). `status` makes the
// listing fail as the platform's enumerators can.
class ListCompressorSource : public CompressorSource {
public:
    Status status = Status::Ok;
    std::vector<media::CompressorDevice> video;
    std::vector<media::CompressorDevice> audio;
    std::vector<QString> bound;
    QString askedMuxer; // the multiplexer of the last listing

    Status Enumerate(media::CompressorKind kind, const QString& muxer,
                     std::vector<media::CompressorDevice>& devices) override;
    std::shared_ptr<media::Filter> Bind(media::CompressorKind kind,
                                        const media::CompressorDevice& device) override;
};

media::CompressorDevice Device(const QString& factory, const QString& name);

} // namespace orvelin::test
