#pragma once

#include <QString>
#include <cstdint>

namespace orvelin::media {

// How long the pictures of an MPEG program or transport stream last, read
// from the time stamps of the packets themselves: from the first picture at
// the file's start to the end of the last picture at its end. The
// demultiplexers only estimate the length from the bit rate of the packs
// (a 3 s transport stream reads as 2.99 s, a 5 s DVD title as 4.99 s), and
// they count it from the first pack, not the first picture.
//
// `framePeriod` is the length of one picture in nanoseconds. Only the head
// and the tail of the file are read. Returns -1 for other files and for
// streams without time-stamped pictures.
int64_t MpegPictureSpan(const QString& path, int64_t framePeriod);

// The length of an MPEG stream as the program tells it everywhere (playing,
// checking a part against the file, converting): the span of its pictures
// where that agrees with the demultiplexer's `estimate` (nanoseconds, -1 when
// there is none) to within a tenth or 2 s. Time stamps that start again part
// way (joined recordings, DVD cells) make the span meaningless. Returns -1
// when the span is not to be taken (other files, no frame rate).
int64_t MpegStreamLength(const QString& path, int64_t framePeriod, int64_t estimate);

// A file that begins with an MPEG program stream pack.
bool IsProgramStream(const QString& path);

} // namespace orvelin::media
