#pragma once

// How the video decoders of a conversion graph are set up. For the media
// seam only.

#include <gst/gst.h>

namespace orvelin::media {

// Sets up every libav video decoder that joins `pipeline`:
//  - it gives its pictures without letting the decoding library write into
//    them directly. GStreamer 1.22's decoder base copies each such picture a
//    second time (the library still holds it as a reference when it
//    leaves), so direct writing costs two copies of every picture where
//    plain output costs one: at 1080p, 6 MB of copying per frame against 3;
//  - it decodes on half the processors (at least one). The encoder works
//    alongside on its own threads; a decoder that splits its frames over
//    every processor only adds hand-overs and pictures in flight (on two
//    processors: 3 % more processor time and 8 to 20 MB more memory).
void TuneConversionDecoders(GstElement* pipeline);

} // namespace orvelin::media
