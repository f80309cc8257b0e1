#include "support/ListCompressorSource.h"

namespace orvelin::test {

CompressorSource::Status
ListCompressorSource::Enumerate(media::CompressorKind kind, const QString& muxer,
                                std::vector<media::CompressorDevice>& devices) {
    askedMuxer = muxer;
    if (status != Status::Ok)
        return status;
    devices = kind == media::CompressorKind::Video ? video : audio;
    return Status::Ok;
}

std::shared_ptr<media::Filter> ListCompressorSource::Bind(media::CompressorKind,
                                                          const media::CompressorDevice& device) {
    bound.push_back(device.factoryName);
    return media::Filter::Create(device.factoryName);
}

media::CompressorDevice Device(const QString& factory, const QString& name) {
    media::CompressorDevice d;
    d.factoryName = factory;
    d.friendlyName = name;
    return d;
}

} // namespace orvelin::test
