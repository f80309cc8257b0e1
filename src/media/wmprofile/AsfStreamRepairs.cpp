#include "media/wmprofile/AsfStreamRepairs.h"

#include <gst/audio/audio.h>

#include <memory>
#include <mutex>

namespace orvelin::media {

namespace {

// The size in bytes of a field of an ASF length type (none, byte, word,
// double word).
size_t FieldSize(unsigned type) {
    static const size_t sizes[] = {0, 1, 2, 4};
    return sizes[type & 3];
}

uint32_t ReadField(const uint8_t* at, size_t size) {
    uint32_t value = 0;
    for (size_t i = 0; i < size; ++i)
        value |= static_cast<uint32_t>(at[i]) << (8 * i);
    return value;
}

void WriteField(uint8_t* at, size_t size, uint32_t value) {
    for (size_t i = 0; i < size; ++i)
        at[i] = static_cast<uint8_t>(value >> (8 * i));
}

bool RepairBuffer(GstBuffer** buffer, uint32_t packetSize) {
    if (gst_buffer_get_size(*buffer) != packetSize)
        return false;
    // Only a packet that needs it is copied.
    GstMapInfo map;
    if (!gst_buffer_map(*buffer, &map, GST_MAP_READ))
        return false;
    std::unique_ptr<uint8_t[]> copy(new uint8_t[map.size]);
    std::copy(map.data, map.data + map.size, copy.get());
    gst_buffer_unmap(*buffer, &map);
    if (!RepairPartialPacket(copy.get(), packetSize, packetSize))
        return false;
    *buffer = gst_buffer_make_writable(*buffer);
    gst_buffer_fill(*buffer, 0, copy.get(), packetSize);
    return true;
}

GstPadProbeReturn OnMuxOutput(GstPad*, GstPadProbeInfo* info, gpointer data) {
    const auto packetSize = static_cast<uint32_t>(GPOINTER_TO_UINT(data));
    if (info->type & GST_PAD_PROBE_TYPE_BUFFER) {
        auto* buffer = GST_PAD_PROBE_INFO_BUFFER(info);
        if (RepairBuffer(&buffer, packetSize))
            GST_PAD_PROBE_INFO_DATA(info) = buffer;
    } else if (info->type & GST_PAD_PROBE_TYPE_BUFFER_LIST) {
        GstBufferList* list = gst_buffer_list_make_writable(GST_PAD_PROBE_INFO_BUFFER_LIST(info));
        gst_buffer_list_foreach(
            list,
            [](GstBuffer** buffer, guint, gpointer size) -> gboolean {
                RepairBuffer(buffer, static_cast<uint32_t>(GPOINTER_TO_UINT(size)));
                return TRUE;
            },
            data);
        GST_PAD_PROBE_INFO_DATA(info) = list;
    }
    return GST_PAD_PROBE_OK;
}

struct Priming {
    std::mutex lock;
    GstAudioInfo audio{};
    bool haveFormat = false;
    uint64_t toDrop = 0;   // samples still to leave out
    GstClockTime lead = 0; // what the sound comes earlier by
    bool started = false;  // the leaving out has begun
};

GstClockTime Earlier(GstClockTime time, GstClockTime by) {
    if (!GST_CLOCK_TIME_IS_VALID(time))
        return time;
    return time > by ? time - by : 0;
}

GstPadProbeReturn OnRawSound(GstPad*, GstPadProbeInfo* info, gpointer data) {
    auto* priming = static_cast<Priming*>(data);
    std::lock_guard<std::mutex> guard(priming->lock);
    if (info->type & (GST_PAD_PROBE_TYPE_EVENT_DOWNSTREAM | GST_PAD_PROBE_TYPE_EVENT_FLUSH)) {
        GstEvent* event = GST_PAD_PROBE_INFO_EVENT(info);
        if (GST_EVENT_TYPE(event) == GST_EVENT_CAPS) {
            GstCaps* caps = nullptr;
            gst_event_parse_caps(event, &caps);
            priming->haveFormat = gst_audio_info_from_caps(&priming->audio, caps);
            if (priming->haveFormat && !priming->started) {
                priming->toDrop = WmaPrimingSamples(GST_AUDIO_INFO_RATE(&priming->audio));
                priming->lead = gst_util_uint64_scale_int(priming->toDrop, GST_SECOND,
                                                          GST_AUDIO_INFO_RATE(&priming->audio));
            }
        } else if (GST_EVENT_TYPE(event) == GST_EVENT_FLUSH_STOP ||
                   GST_EVENT_TYPE(event) == GST_EVENT_STREAM_START) {
            priming->started = false; // a new run starts afresh
        }
        return GST_PAD_PROBE_OK;
    }
    if (!(info->type & GST_PAD_PROBE_TYPE_BUFFER) || !priming->haveFormat)
        return GST_PAD_PROBE_OK;
    priming->started = true;
    GstBuffer* buffer = GST_PAD_PROBE_INFO_BUFFER(info);
    const int bpf = GST_AUDIO_INFO_BPF(&priming->audio);
    const int rate = GST_AUDIO_INFO_RATE(&priming->audio);
    if (bpf <= 0 || rate <= 0)
        return GST_PAD_PROBE_OK;
    const uint64_t samples = gst_buffer_get_size(buffer) / static_cast<uint64_t>(bpf);
    uint64_t dropped = 0;
    if (priming->toDrop > 0) {
        if (samples <= priming->toDrop) {
            priming->toDrop -= samples;
            return GST_PAD_PROBE_DROP;
        }
        dropped = priming->toDrop;
        priming->toDrop = 0;
        buffer = gst_audio_buffer_truncate(buffer, bpf, dropped, -1);
    } else {
        buffer = gst_buffer_make_writable(buffer);
    }
    GstClockTime pts = GST_BUFFER_PTS(buffer);
    if (dropped && GST_CLOCK_TIME_IS_VALID(pts))
        pts += gst_util_uint64_scale_int(dropped, GST_SECOND, rate);
    GST_BUFFER_PTS(buffer) = Earlier(pts, priming->lead);
    GST_BUFFER_DTS(buffer) = GST_CLOCK_TIME_NONE;
    if (dropped)
        GST_BUFFER_DURATION(buffer) =
            gst_util_uint64_scale_int(samples - dropped, GST_SECOND, rate);
    GST_PAD_PROBE_INFO_DATA(info) = buffer;
    return GST_PAD_PROBE_OK;
}

} // namespace

bool RepairPartialPacket(uint8_t* data, size_t size, uint32_t packetSize) {
    if (size != packetSize || size < 2)
        return false;
    size_t at = 0;
    if (data[0] & 0x80) { // error correction data first
        if (data[0] & 0x10)
            return false; // opaque data: no payload parsing information follows
        at = 1 + (data[0] & 0x0f);
    }
    if (at + 2 > size)
        return false;
    const uint8_t lengthFlags = data[at];
    if (lengthFlags & 0x80)
        return false; // an error correction flag where none belongs: not a packet
    const size_t lengthSize = FieldSize(lengthFlags >> 5);
    const size_t sequenceSize = FieldSize(lengthFlags >> 1);
    const size_t paddingSize = FieldSize(lengthFlags >> 3);
    at += 2; // the length type and property flags
    const size_t lengthAt = at;
    const size_t paddingAt = lengthAt + lengthSize + sequenceSize;
    if (lengthSize == 0 || paddingSize == 0 || paddingAt + paddingSize > size)
        return false;
    const uint32_t length = ReadField(data + lengthAt, lengthSize);
    const uint32_t padding = ReadField(data + paddingAt, paddingSize);
    if (length >= packetSize || static_cast<uint64_t>(length) + padding != packetSize)
        return false;
    if (lengthSize < 4 && packetSize >= (1u << (8 * lengthSize)))
        return false; // the field cannot hold the full length
    WriteField(data + lengthAt, lengthSize, packetSize);
    return true;
}

void RepairPartialPackets(GstElement* mux, uint32_t packetSize) {
    GstPad* src = gst_element_get_static_pad(mux, "src");
    if (!src)
        return;
    gst_pad_add_probe(
        src,
        static_cast<GstPadProbeType>(GST_PAD_PROBE_TYPE_BUFFER | GST_PAD_PROBE_TYPE_BUFFER_LIST),
        OnMuxOutput, GUINT_TO_POINTER(packetSize), nullptr);
    gst_object_unref(src);
}

uint32_t WmaPrimingSamples(int rate) {
    // The frame grows with the rate: 512 samples up to 16 kHz, 1024 up to
    // 22.05 kHz, 2048 above.
    if (rate <= 16000)
        return 512;
    if (rate <= 22050)
        return 1024;
    return 2048;
}

void TakeOffWmaPriming(GstPad* pad) {
    gst_pad_add_probe(pad,
                      static_cast<GstPadProbeType>(GST_PAD_PROBE_TYPE_BUFFER |
                                                   GST_PAD_PROBE_TYPE_EVENT_DOWNSTREAM |
                                                   GST_PAD_PROBE_TYPE_EVENT_FLUSH),
                      OnRawSound, new Priming(),
                      [](gpointer data) { delete static_cast<Priming*>(data); });
}

} // namespace orvelin::media
