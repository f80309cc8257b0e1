#pragma once

#include <gst/gst.h>
#include <gst/video/video.h>

#include <memory>
#include <string>

namespace orvelin::media::smartcut {

// The three parts of a cut's video: the pictures from the start mark to
// the first copy point (encoded again), the copied packets, and the
// pictures from the last copy point to the end mark (encoded again).
enum class Part { Head, Copy, Tail };

// What a cut needs to know of one video codec: where decoding may start
// with nothing before it, how to encode pictures that stand in a copied
// stream of it, and how the encoded and copied parts join.
class CutCodec {
public:
    // The codec of the source's parsed video caps, set up like the source;
    // null, with a plain sentence in `why`, when its pictures cannot be cut
    // exactly.
    static std::unique_ptr<CutCodec> For(const GstCaps* source, std::string& why);
    // Whether pictures of the named codec can be cut ("H.264"), and the
    // sentence that says a codec cannot.
    static bool Cuts(const std::string& name);
    static std::string Refusal(const std::string& name);

    explicit CutCodec(const GstCaps* source);
    virtual ~CutCodec();
    CutCodec(const CutCodec&) = delete;
    CutCodec& operator=(const CutCodec&) = delete;

    // The codec's name as people know it ("H.264").
    virtual const char* Name() const = 0;
    // Whether a packet the parser marks as a keyframe starts a picture that
    // decodes, with all that follow it, from nothing before it.
    virtual bool IsCopyPoint(GstBuffer* packet) const = 0;
    // The encoder for one end, set up like the source; null with `error`.
    virtual GstElement* MakeEncoder(Part part, std::string& error) const = 0;
    // The parser after the encoder (null: none), and the format the encoded
    // packets are collected in.
    virtual const char* EncodedParser() const { return nullptr; }
    virtual GstCaps* EncodedFormat() const = 0;
    // The caps the multiplexer gets, from the source's and the encoded
    // ends' caps (null for an end not encoded).
    virtual GstCaps* OutputCaps(const GstCaps* head, const GstCaps* tail) const;
    // The first packet of a part as it is written; `caps` are the part's own
    // (the source's for the copy). Answers a new reference.
    virtual GstBuffer* Opening(GstBuffer* packet, Part part, const GstCaps* caps) const;
    // The last packet of a part that another part follows.
    virtual GstBuffer* Closing(GstBuffer* packet, Part part) const;

    const GstCaps* Source() const { return source_; }
    const GstStructure* Facts() const { return gst_caps_get_structure(source_, 0); }

protected:
    // The colour description of the source's caps, or false.
    bool SourceColorimetry(GstVideoColorimetry& out) const;

private:
    GstCaps* source_;
};

// A buffer holding `prefix`, then `packet`'s bytes, then `suffix`, with
// `packet`'s timestamps and flags.
GstBuffer* WrapPacket(GstBuffer* packet, const std::string& prefix, const std::string& suffix);

std::unique_ptr<CutCodec> MakeAvcCodec(const GstCaps* source, std::string& why);
std::unique_ptr<CutCodec> MakeHevcCodec(const GstCaps* source, std::string& why);
std::unique_ptr<CutCodec> MakeVp9Codec(const GstCaps* source, std::string& why);
std::unique_ptr<CutCodec> MakeMpeg2Codec(const GstCaps* source, std::string& why);

} // namespace orvelin::media::smartcut
