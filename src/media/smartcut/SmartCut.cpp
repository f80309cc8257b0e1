#include "media/SmartCut.h"

#include "media/playback/StreamStart.h"
#include "media/smartcut/BoundaryEncoder.h"
#include "media/smartcut/CutCodec.h"
#include "media/smartcut/Mp4Tracks.h"
#include "media/smartcut/SourceReader.h"

#include <gst/app/gstappsrc.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <future>
#include <memory>
#include <mutex>
#include <thread>

namespace orvelin::media {

using namespace smartcut;

namespace {

constexpr int64_t kNs = 100; // nanoseconds per 100 ns unit of the job

struct IndexEntry {
    int64_t pts = 0;  // ns
    bool key = false; // a copy point: decodes with nothing before it
};

std::string Seconds(int64_t ns) {
    char text[32];
    std::snprintf(text, sizeof text, "%.2f s", double(ns) / 1e9);
    return text;
}

// Damage found in the source while it is cut.
struct DamageLog {
    int count = 0;
    std::string first;
    void Add(const std::string& what) {
        if (count++ == 0)
            first = what;
    }
};

// Where the cut falls in the source, in source presentation times (ns).
struct CutPlan {
    int64_t first = 0;        // the first picture written
    int64_t last = 0;         // the last picture written
    int64_t frame = 0;        // one picture's duration
    bool copy = false;        // false: everything is encoded again
    int64_t copyFrom = 0;     // the copy point the copy starts with
    int64_t copyTo = 0;       // the copy point it stops before (-1: to the file's end)
    bool tail = false;        // pictures from tailFrom to `last` are encoded again
    int64_t tailFrom = 0;     // the first picture shown after the copied ones
    int64_t reorderDelay = 0; // how far decoding runs ahead of showing in the copy
    int64_t headFrames = 0, copiedFrames = 0, tailFrames = 0;
    std::vector<int64_t> copyTimes; // the copied pictures' times, in order
    DamageLog damage;               // holes in the marked pictures
};

struct Source {
    std::unique_ptr<SourceReader> reader;
    GstCaps* video = nullptr;
    GstCaps* audio = nullptr;
    std::unique_ptr<CutCodec> codec;
    int rotation = 0;              // degrees clockwise the picture is shown turned
    std::vector<IndexEntry> index; // decode order
};

// The last index read: the check whether a cut can be copied reads the same
// index as the cut itself that follows, which then need not read it again.
struct IndexMemo {
    std::mutex mutex;
    std::string path;
    int64_t start = 0, end = 0;
    std::uintmax_t size = 0;
    std::filesystem::file_time_type modified;
    std::vector<IndexEntry> index;
};

IndexMemo& LastIndex() {
    static IndexMemo memo;
    return memo;
}

bool FileStamp(const std::string& path, std::uintmax_t& size,
               std::filesystem::file_time_type& modified) {
    std::error_code ec;
    size = std::filesystem::file_size(path, ec);
    if (ec)
        return false;
    modified = std::filesystem::last_write_time(path, ec);
    return !ec;
}

std::string ContainerName(const std::string& muxer) {
    return muxer == "mp4mux" ? "MP4" : muxer == "matroskamux" ? "Matroska" : muxer;
}

int64_t FrameDuration(const GstCaps* caps, const std::vector<IndexEntry>& index) {
    int num = 0, den = 1;
    if (gst_structure_get_fraction(gst_caps_get_structure(caps, 0), "framerate", &num, &den) &&
        num > 0 && den > 0)
        return int64_t(1000000000) * den / num;
    std::vector<int64_t> pts;
    for (const IndexEntry& e : index)
        pts.push_back(e.pts);
    std::sort(pts.begin(), pts.end());
    std::vector<int64_t> steps;
    for (size_t i = 1; i < pts.size(); ++i)
        steps.push_back(pts[i] - pts[i - 1]);
    if (steps.empty())
        return 40000000;
    std::nth_element(steps.begin(), steps.begin() + steps.size() / 2, steps.end());
    return std::max<int64_t>(steps[steps.size() / 2], 1);
}

// Opens the source and reads the packet index of its video from the
// keyframe before `start` to the first keyframe after `end`. Answers a
// plain sentence when the video cannot be copied.
std::string ReadSource(const SmartCutJob& job, Source& src) {
    std::uintmax_t size = 0;
    std::filesystem::file_time_type modified;
    const bool stamped = FileStamp(job.source, size, modified);
    IndexMemo& memo = LastIndex();
    bool known = false;
    {
        std::lock_guard lock(memo.mutex);
        if (stamped && memo.path == job.source && memo.start == job.start && memo.end == job.end &&
            memo.size == size && memo.modified == modified) {
            src.index = memo.index;
            known = true;
        }
    }
    // The index's reader opens while the source's streams are looked at.
    SourceReader indexer(job.source, true, false);
    std::string indexError;
    std::future<bool> indexerOpen;
    if (job.copyVideo && !known)
        indexerOpen = std::async(std::launch::async, [&] { return indexer.Open(indexError); });
    src.reader = std::make_unique<SourceReader>(job.source, true, job.copyAudio);
    std::string error;
    if (!src.reader->Open(error))
        return error;
    src.video = src.reader->Found().video;
    src.audio = src.reader->Found().audio;
    if (!job.copyVideo)
        return {};
    if (!src.video)
        return "The source has no picture to copy.";
    src.codec = CutCodec::For(src.video, error);
    if (!src.codec)
        return error;
    if (const std::string& tag = src.reader->Found().orientation; !tag.empty()) {
        src.rotation = OrientationDegrees(tag);
        if (src.rotation < 0)
            return "The source's picture is shown mirrored, which a copy cannot record; it "
                   "needs re-encoding.";
        if (src.rotation > 0 && job.muxer != "mp4mux")
            return "The " + ContainerName(job.muxer) +
                   " container cannot record that the "
                   "source's picture is shown turned by " +
                   std::to_string(src.rotation) + " degrees; choose MP4, or re-encode.";
    }
    if (known)
        return {};
    if (!indexerOpen.get())
        return indexError;
    // From the copy point before the start mark to the first one after the
    // end mark, with the pictures that decode after that one but are shown
    // before it.
    bool seenKey = false;
    int64_t closing = -1;
    if (!indexer.Run(
            job.start,
            [&](GstBuffer* b) {
                if (!GST_BUFFER_PTS_IS_VALID(b))
                    return true;
                const int64_t pts = int64_t(GST_BUFFER_PTS(b));
                if (closing >= 0) {
                    if (pts >= closing)
                        return false;
                    src.index.push_back({pts, false});
                    return true;
                }
                const bool key = !GST_BUFFER_FLAG_IS_SET(b, GST_BUFFER_FLAG_DELTA_UNIT) &&
                                 src.codec->IsCopyPoint(b);
                if (key && pts >= job.end * kNs && seenKey)
                    closing = pts;
                seenKey = seenKey || key;
                src.index.push_back({pts, key});
                return true;
            },
            nullptr, nullptr, error))
        return error;
    if (stamped && !src.index.empty()) {
        std::lock_guard lock(memo.mutex);
        memo.path = job.source;
        memo.start = job.start;
        memo.end = job.end;
        memo.size = size;
        memo.modified = modified;
        memo.index = src.index;
    }
    if (src.index.empty())
        return "The marked part of the source holds no picture.";
    return {};
}

// Holes in the marked pictures' times: as for a conversion that decodes,
// a hole counts from two and a half frames and a quarter of a second.
void FindPictureHoles(const std::vector<IndexEntry>& shown, const CutPlan& plan, DamageLog& log) {
    const int64_t hole = std::max<int64_t>(plan.frame * 5 / 2, 250000000);
    for (size_t n = 1; n < shown.size(); ++n)
        if (shown[n].pts > plan.first && shown[n - 1].pts < plan.last &&
            shown[n].pts - shown[n - 1].pts >= hole)
            log.Add("pictures missing from " + Seconds(shown[n - 1].pts + plan.frame) + " to " +
                    Seconds(shown[n].pts));
}

std::string Plan(const SmartCutJob& job, const Source& src, CutPlan& plan) {
    plan.frame = FrameDuration(src.video, src.index);
    // A picture stamped within a millisecond of a mark is at the mark: time
    // stamps of 90 kHz clocks and of milliseconds round the pictures' times.
    constexpr int64_t kRounding = 1000000;
    const int64_t start = job.start * kNs + kRounding, end = job.end * kNs - kRounding;
    std::vector<IndexEntry> shown = src.index;
    std::sort(shown.begin(), shown.end(),
              [](const IndexEntry& a, const IndexEntry& b) { return a.pts < b.pts; });
    // The picture shown at the start mark, and the one shown just before the
    // end mark.
    size_t first = 0;
    while (first + 1 < shown.size() && shown[first + 1].pts <= start)
        ++first;
    size_t last = first;
    while (last + 1 < shown.size() && shown[last + 1].pts < end)
        ++last;
    if (shown[last].pts >= end || shown[first].pts + plan.frame <= start)
        return "The marked part of the source holds no picture.";
    plan.first = shown[first].pts;
    plan.last = shown[last].pts;
    FindPictureHoles(shown, plan, plan.damage);
    auto count = [&](int64_t from, int64_t to) { // pictures shown in [from, to)
        int64_t n = 0;
        for (const IndexEntry& e : shown)
            n += e.pts >= from && e.pts < to;
        return n;
    };
    plan.headFrames = count(plan.first, plan.last + 1);
    // The copy starts at the first copy point shown inside the marks. The
    // pictures that decode after it but are shown before it (leading
    // pictures, which may need pictures from before it) are not copied.
    const std::vector<IndexEntry>& index = src.index;
    size_t i = 0;
    while (i < index.size() && !(index[i].key && index[i].pts >= plan.first))
        ++i;
    if (i >= index.size() || index[i].pts > plan.last)
        return {};
    auto leadingEnd = [&](size_t k) {
        size_t n = k + 1;
        while (n < index.size() && !index[n].key && index[n].pts < index[k].pts)
            ++n;
        return n;
    };
    // The copy ends before copy point j (index.size(): the file's end): it
    // holds every picture shown from the start point to the first picture
    // shown from j on, and nothing after.
    auto shownFrom = [&](size_t j) {
        int64_t t = j < index.size() ? index[j].pts : INT64_MAX;
        for (size_t n = j + 1; j < index.size() && n < leadingEnd(j); ++n)
            t = std::min(t, index[n].pts);
        return t;
    };
    auto copyFits = [&](size_t j) {
        const int64_t t = shownFrom(j);
        for (size_t n = leadingEnd(i); n < j; ++n)
            if (index[n].pts >= t)
                return false;
        return true;
    };
    size_t stop = index.size();
    bool tail = false;
    size_t j = leadingEnd(i);
    while (j < index.size() && !index[j].key)
        ++j;
    // The next copy point after the marked part: the copy may run to it.
    size_t next = j;
    while (next < index.size() && shownFrom(next) <= plan.last)
        next = std::find_if(index.begin() + long(next) + 1, index.end(),
                            [](const IndexEntry& e) { return e.key; }) -
               index.begin();
    if (copyFits(next) && count(plan.last + 1, shownFrom(next)) == 0) {
        stop = next;
    } else {
        // Else to the last copy point inside it, and the rest is encoded.
        stop = i;
        for (size_t k = j; k < next; ++k)
            if (index[k].key && copyFits(k))
                stop = k;
        if (stop == i)
            return {}; // no group fits whole: everything is encoded again
        tail = true;
    }
    plan.copy = true;
    plan.copyFrom = index[i].pts;
    plan.copyTo = stop < index.size() ? index[stop].pts : -1;
    plan.tail = tail;
    plan.tailFrom = tail ? shownFrom(stop) : 0;
    plan.headFrames = count(plan.first, plan.copyFrom);
    plan.tailFrames = tail ? count(plan.tailFrom, plan.last + 1) : 0;
    // Decode times of the copy: its presentation times in order, moved back
    // just far enough that no picture is decoded after it is shown.
    std::vector<int64_t> decodeOrder{index[i].pts};
    for (size_t n = leadingEnd(i); n < stop; ++n)
        decodeOrder.push_back(index[n].pts);
    plan.copiedFrames = int64_t(decodeOrder.size());
    std::vector<int64_t> sorted = decodeOrder;
    std::sort(sorted.begin(), sorted.end());
    for (size_t n = 0; n < sorted.size(); ++n)
        plan.reorderDelay = std::max(plan.reorderDelay, sorted[n] - decodeOrder[n]);
    plan.copyTimes = std::move(sorted);
    return {};
}

bool MuxerTakesCaps(const char* muxer, const char* padTemplate, const GstCaps* caps) {
    GstElementFactory* factory = gst_element_factory_find(muxer);
    if (!factory)
        return false;
    bool takes = false;
    for (const GList* l = gst_element_factory_get_static_pad_templates(factory); l; l = l->next) {
        auto* tmpl = static_cast<GstStaticPadTemplate*>(l->data);
        if (tmpl->direction != GST_PAD_SINK || !g_str_has_prefix(tmpl->name_template, padTemplate))
            continue;
        GstCaps* tcaps = gst_static_pad_template_get_caps(tmpl);
        takes = gst_caps_can_intersect(tcaps, caps);
        gst_caps_unref(tcaps);
    }
    gst_object_unref(factory);
    return takes;
}

// Hands timed packets to a multiplexer's input, moved from source time to
// output time.
struct Writer {
    GstElement* pipeline = nullptr;
    GstElement* video = nullptr;
    GstElement* audio = nullptr;
    int64_t origin = 0; // source time (ns) that becomes output time `shift`
    int64_t shift = 0;  // ns
    bool decodeTimes = true;
    std::mutex mutex;
    int64_t written = 0; // 100 ns

    // The parts join as the codec says: the first and last packets of each
    // may carry more, so the video is held back by one packet.
    GstBuffer* pending = nullptr;
    int64_t frame = 0;
    const CutCodec* codec = nullptr;
    bool started = false;
    Part part = Part::Head;

    bool PushVideo(GstBuffer* in, int64_t pts, int64_t dts, Part from, const GstCaps* caps) {
        const bool opens = !started || from != part;
        if (opens && started && pending) {
            GstBuffer* closed = codec->Closing(pending, part);
            gst_buffer_unref(pending);
            pending = closed;
        }
        started = true;
        part = from;
        GstBuffer* packet = opens ? codec->Opening(in, from, caps) : gst_buffer_ref(in);
        GstBuffer* b = Timed(packet, pts, dts);
        gst_buffer_unref(packet);
        GST_BUFFER_DURATION(b) = GstClockTime(frame);
        std::swap(b, pending);
        return !b || gst_app_src_push_buffer(GST_APP_SRC(video), b) == GST_FLOW_OK;
    }
    void EndVideo() {
        if (pending) {
            gst_app_src_push_buffer(GST_APP_SRC(video), pending);
            pending = nullptr;
        }
        gst_app_src_end_of_stream(GST_APP_SRC(video));
    }

    GstBuffer* Timed(GstBuffer* in, int64_t pts, int64_t dts) {
        GstBuffer* b = gst_buffer_copy(in); // shares the memory, new timestamps
        GST_BUFFER_PTS(b) = GstClockTime(pts - origin + shift);
        GST_BUFFER_DTS(b) = decodeTimes ? GstClockTime(dts - origin + shift) : GST_CLOCK_TIME_NONE;
        GST_BUFFER_OFFSET(b) = GST_BUFFER_OFFSET_NONE;
        GST_BUFFER_OFFSET_END(b) = GST_BUFFER_OFFSET_NONE;
        return b;
    }

    bool Push(GstElement* appsrc, GstBuffer* in, int64_t pts, int64_t dts) {
        return gst_app_src_push_buffer(GST_APP_SRC(appsrc), Timed(in, pts, dts)) == GST_FLOW_OK;
    }
};

// Loads the codecs for the marks once, in the background.
std::shared_future<void> CodecsLoading() {
    static const std::shared_future<void> loading =
        std::async(std::launch::async, LoadCodecs).share();
    return loading;
}

GstElement* MakeAppSrc(GstCaps* caps) {
    GstElement* src = gst_element_factory_make("appsrc", nullptr);
    g_object_set(src, "caps", caps, "format", GST_FORMAT_TIME, "block", TRUE, "max-bytes",
                 guint64(256) << 20, nullptr);
    return src;
}

// The marks on the file's own clock: MPEG streams' pictures start late on
// it, and the program counts from the first picture, as a conversion does.
SmartCutJob OnFileClock(SmartCutJob job) {
    const int64_t start = StreamStartOf(QString::fromStdString(job.source));
    job.start += start;
    job.end += start;
    return job;
}

} // namespace

HRESULT InspectSmartCutSource(const std::string& path, SmartCutSource& facts) {
    SourceReader reader(path, true, true);
    std::string error;
    if (!reader.Open(error))
        return E_FAIL;
    facts = {};
    if (const GstCaps* v = reader.Found().video) {
        facts.hasVideo = true;
        facts.videoCodec = CodecName(v);
        const GstStructure* s = gst_caps_get_structure(v, 0);
        gst_structure_get_int(s, "width", &facts.width);
        gst_structure_get_int(s, "height", &facts.height);
        gst_structure_get_fraction(s, "framerate", &facts.fpsNum, &facts.fpsDen);
        if (!reader.Found().orientation.empty())
            facts.rotation = OrientationDegrees(reader.Found().orientation);
        if (facts.rotation == 90 || facts.rotation == 270)
            std::swap(facts.width, facts.height);
    }
    if (const GstCaps* a = reader.Found().audio) {
        facts.hasAudio = true;
        facts.audioCodec = CodecName(a);
    }
    return S_OK;
}

bool SmartCutMuxerTakes(const SmartCutSource& facts, const std::string& muxer, bool video,
                        std::string& reason) {
    const std::string& codec = video ? facts.videoCodec : facts.audioCodec;
    if (video ? !facts.hasVideo : !facts.hasAudio) {
        reason = video ? "The source has no picture to copy." : "The source has no sound to copy.";
        return false;
    }
    if (video && !CutCodec::Cuts(codec)) {
        reason = CutCodec::Refusal(codec);
        return false;
    }
    // The caps a parser of the codec gives; enough to ask the multiplexer.
    static const std::pair<const char*, const char*> kCaps[] = {
        {"H.264", "video/x-h264,stream-format=avc,alignment=au"},
        {"H.265", "video/x-h265,stream-format=hev1,alignment=au"},
        {"VP9", "video/x-vp9"},
        {"MPEG-2", "video/mpeg,mpegversion=2,systemstream=false"},
        {"MPEG audio", "audio/mpeg,mpegversion=1,layer=2"},
        {"AAC", "audio/mpeg,mpegversion=4,stream-format=raw"},
        {"MP3", "audio/mpeg,mpegversion=1,layer=3"},
        {"AC-3", "audio/x-ac3"},
        {"E-AC-3", "audio/x-eac3"},
        {"Opus", "audio/x-opus"},
        {"Vorbis", "audio/x-vorbis"},
        {"FLAC", "audio/x-flac"},
    };
    for (const auto& [name, text] : kCaps) {
        if (codec != name)
            continue;
        GstCaps* caps = gst_caps_from_string(text);
        const bool takes = MuxerTakesCaps(muxer.c_str(), video ? "video_" : "audio_", caps);
        gst_caps_unref(caps);
        if (!takes)
            reason = "The " + ContainerName(muxer) + " container cannot hold " +
                     (video ? "pictures" : "sound") + " in " + codec + " as they are.";
        return takes;
    }
    reason = "Sound in " + codec + " cannot be copied.";
    return false;
}

std::string SmartCutRefusal(const SmartCutJob& asked) {
    const SmartCutJob job = OnFileClock(asked);
    if (job.end <= job.start)
        return "The end mark lies before the start mark.";
    CodecsLoading(); // a cut is likely to follow
    Source src;
    std::string why = ReadSource(job, src);
    if (!why.empty())
        return why;
    SmartCutSource facts;
    facts.hasVideo = src.video;
    facts.hasAudio = src.audio;
    facts.videoCodec = CodecName(src.video);
    facts.audioCodec = CodecName(src.audio);
    if (job.copyVideo && !SmartCutMuxerTakes(facts, job.muxer, true, why))
        return why;
    if (job.copyAudio && src.audio && !SmartCutMuxerTakes(facts, job.muxer, false, why))
        return why;
    if (!job.copyVideo)
        return {};
    CutPlan plan;
    return Plan(job, src, plan);
}

SmartCutReport RunSmartCut(const SmartCutJob& asked, const std::atomic<bool>& stop,
                           const std::function<void(int64_t)>& progress) {
    const SmartCutJob job = OnFileClock(asked);
    SmartCutReport report;
    auto fail = [&](std::string error) {
        report.hr = E_FAIL;
        report.error = std::move(error);
        return report;
    };
    if (job.end <= job.start)
        return fail("The end mark lies before the start mark.");
    if (!job.copyVideo)
        return fail("Only a cut that copies the pictures can be written without re-encoding.");
    // The codecs for the marks load while the source is read.
    const std::shared_future<void> loading = CodecsLoading();
    Source src;
    CutPlan plan;
    std::string why = ReadSource(job, src);
    loading.wait();
    if (why.empty())
        why = Plan(job, src, plan);
    if (!why.empty())
        return fail(why);
    const bool withAudio = job.copyAudio && src.audio;

    // The pictures at the marks, encoded again.
    const CutCodec& codec = *src.codec;
    EncodedPart head, tail;
    std::string error;
    const int64_t headEnd = plan.copy ? plan.copyFrom : plan.last + 1;
    // The two ends are encoded side by side: each decodes and encodes on its
    // own, and the machine's cores are better used by both than by one.
    std::string tailError;
    bool tailOk = true;
    std::thread tailThread;
    if (plan.tail)
        tailThread = std::thread([&] {
            tailOk = EncodeRange(job.source, plan.tailFrom, plan.last + 1, size_t(plan.tailFrames),
                                 codec, Part::Tail, tail, &stop, tailError);
        });
    bool headOk = true;
    if (plan.headFrames > 0)
        headOk = EncodeRange(job.source, plan.first, headEnd, size_t(plan.headFrames), codec,
                             Part::Head, head, &stop, error);
    if (tailThread.joinable())
        tailThread.join();
    if (stop.load()) {
        report.stopped = true;
        return report;
    }
    if (!headOk)
        return fail(error);
    if (!tailOk)
        return fail(tailError);

    // The output graph: the packets into the container's multiplexer.
    GstCaps* videoCaps = codec.OutputCaps(head.caps, tail.caps);
    Writer w;
    w.codec = &codec;
    w.pipeline = gst_pipeline_new("smart-cut-writer");
    GstElement* mux = gst_element_factory_make(job.muxer.c_str(), nullptr);
    GstElement* sink = gst_element_factory_make("filesink", nullptr);
    if (!mux || !sink) {
        gst_caps_unref(videoCaps);
        gst_object_unref(w.pipeline);
        return fail("The " + ContainerName(job.muxer) + " writer is not installed.");
    }
    g_object_set(sink, "location", job.output.c_str(), nullptr);
    w.video = MakeAppSrc(videoCaps);
    gst_caps_unref(videoCaps);
    gst_bin_add_many(GST_BIN(w.pipeline), w.video, mux, sink, nullptr);
    gst_element_link_pads(w.video, "src", mux, "video_%u");
    if (withAudio) {
        w.audio = MakeAppSrc(src.audio);
        gst_bin_add(GST_BIN(w.pipeline), w.audio);
        gst_element_link_pads(w.audio, "src", mux, "audio_%u");
    }
    gst_element_link(mux, sink);
    // Output time 0 is the first picture; decoding starts `reorderDelay`
    // before it, so for MP4 every time is moved later by that much and its
    // edit list makes the first picture the start.
    // Matroska keeps presentation times only: its first picture is at 0.
    const int64_t delay = plan.reorderDelay;
    w.origin = plan.first;
    // MP4's sound starts with the frame that holds the first picture's
    // time, and its edit list skips the part before the picture: every time
    // moves later by as much as a sound frame may last, for that frame.
    const bool trimSound = withAudio && job.muxer == "mp4mux";
    w.shift = job.muxer == "matroskamux" ? 0 : delay + (trimSound ? 200000000 : 0);
    w.decodeTimes = job.muxer != "matroskamux";
    w.frame = plan.frame;
    if (gst_element_set_state(w.pipeline, GST_STATE_PLAYING) == GST_STATE_CHANGE_FAILURE) {
        gst_object_unref(w.pipeline);
        return fail("The output file cannot be written.");
    }
    auto report_progress = [&](int64_t pts) {
        if (progress)
            progress((pts - plan.first) / kNs);
    };
    auto pushEncoded = [&](EncodedPart& part, Part which) {
        for (GstBuffer* b : part.packets) {
            if (stop.load())
                return false;
            const int64_t pts = int64_t(GST_BUFFER_PTS(b));
            if (!w.PushVideo(b, pts, pts - delay, which, part.caps))
                return false;
            ++report.videoFrames;
            ++report.reencodedFrames;
            report_progress(pts);
        }
        return true;
    };
    bool ok = pushEncoded(head, Part::Head);
    bool tailPushed = !plan.tail;
    bool videoOpen = plan.copy && ok;
    if (!plan.copy)
        w.EndVideo();
    // Decode times of the copy follow the presentation times in order.
    const std::vector<int64_t>& sortedPts = plan.copyTimes;
    size_t copied = 0;
    bool copying = false, leading = false;
    const int64_t audioEnd = plan.last + plan.frame;
    // The two streams arrive on threads of their own.
    std::mutex damageMutex;
    DamageLog damage = plan.damage;
    auto damaged = [&](const std::string& what) {
        std::lock_guard lock(damageMutex);
        damage.Add(what);
    };
    auto onVideo = [&](GstBuffer* b) {
        if (stop.load() || !GST_BUFFER_PTS_IS_VALID(b))
            return !stop.load();
        const int64_t pts = int64_t(GST_BUFFER_PTS(b));
        if (GST_BUFFER_FLAG_IS_SET(b, GST_BUFFER_FLAG_CORRUPTED) && pts >= plan.first &&
            pts <= plan.last)
            damaged("a damaged picture at " + Seconds(pts));
        const bool key = !GST_BUFFER_FLAG_IS_SET(b, GST_BUFFER_FLAG_DELTA_UNIT);
        if (!copying) {
            if (!(key && pts == plan.copyFrom))
                return true;
            copying = leading = true;
        } else if (leading && pts < plan.copyFrom) {
            return true; // needs pictures from before the copy
        } else {
            leading = false;
        }
        if (key && plan.copyTo >= 0 && pts == plan.copyTo) {
            tailPushed = pushEncoded(tail, Part::Tail);
            w.EndVideo();
            videoOpen = false;
            return false;
        }
        const int64_t dts = copied < sortedPts.size() ? sortedPts[copied] - delay : pts - delay;
        ++copied;
        if (!w.PushVideo(b, pts, dts, Part::Copy, src.video))
            return false;
        ++report.videoFrames;
        ++report.copiedFrames;
        report_progress(pts);
        return true;
    };
    int64_t soundStart = -1, soundEnd = -1, soundTrim = 0;
    auto onAudio = [&](GstBuffer* b) {
        if (stop.load())
            return false;
        if (!GST_BUFFER_PTS_IS_VALID(b))
            return true;
        const int64_t pts = int64_t(GST_BUFFER_PTS(b));
        const int64_t length =
            GST_BUFFER_DURATION_IS_VALID(b) ? int64_t(GST_BUFFER_DURATION(b)) : 0;
        // Matroska has no way to skip the start of a frame: its sound
        // starts with the first frame at or after the first picture.
        if (trimSound ? pts + length <= plan.first || plan.first - pts > 200000000
                      : pts < plan.first)
            return true;
        if (soundEnd < 0)
            soundTrim = plan.first - pts;
        if (pts >= audioEnd)
            return false;
        // Holes of a tenth of a second, and times that step back.
        if (soundEnd >= 0 && pts > soundEnd + 100000000)
            damaged("sound missing from " + Seconds(soundEnd) + " to " + Seconds(pts));
        else if (soundEnd >= 0 && pts + 1000000 < soundStart)
            damaged("sound times stepping back at " + Seconds(pts));
        if (GST_BUFFER_FLAG_IS_SET(b, GST_BUFFER_FLAG_CORRUPTED))
            damaged("damaged sound at " + Seconds(pts));
        soundStart = pts;
        soundEnd = pts + length;
        if (!w.Push(w.audio, b, pts, pts))
            return false;
        ++report.audioFrames;
        return true;
    };
    if (ok && (plan.copy || withAudio)) {
        ok = src.reader->Run(
            plan.first / kNs, plan.copy ? std::function<bool(GstBuffer*)>(onVideo) : nullptr,
            withAudio ? std::function<bool(GstBuffer*)>(onAudio) : nullptr, &stop, error);
    }
    if (videoOpen) {
        // The file ended inside the copy, or Stop came.
        if (!tailPushed && !stop.load())
            tailPushed = pushEncoded(tail, Part::Tail);
        w.EndVideo();
    }
    if (w.audio)
        gst_app_src_end_of_stream(GST_APP_SRC(w.audio));
    GstBus* bus = gst_element_get_bus(w.pipeline);
    GstMessage* msg = gst_bus_timed_pop_filtered(
        bus, 120 * GST_SECOND, GstMessageType(GST_MESSAGE_EOS | GST_MESSAGE_ERROR));
    if (!msg || GST_MESSAGE_TYPE(msg) != GST_MESSAGE_EOS) {
        GError* err = nullptr;
        if (msg)
            gst_message_parse_error(msg, &err, nullptr);
        error = std::string("The output file could not be written: ") +
                (err ? err->message : "the writer did not finish") + ".";
        g_clear_error(&err);
        ok = false;
    }
    if (msg)
        gst_message_unref(msg);
    gst_object_unref(bus);
    gst_element_set_state(w.pipeline, GST_STATE_NULL);
    gst_object_unref(w.pipeline);
    report.stopped = stop.load();
    report.damage = damage.count;
    report.firstDamage = damage.first;
    if (!ok)
        return fail(error.empty() ? "The cut could not be written." : error);
    // The MP4 writer neither trims the sound's start nor records the turn
    // the source is shown with. An untrimmed start is still in step (the
    // picture waits for it), so a file the trim does not fit stays as it is.
    if (trimSound && soundTrim > 0)
        TrimMp4SoundStart(job.output, soundTrim);
    if (src.rotation > 0 && !SetMp4VideoRotation(job.output, src.rotation))
        return fail("The output file could not record that its picture is shown turned.");
    if (!report.stopped && (!tailPushed || report.copiedFrames != plan.copiedFrames))
        return fail("The source ended before the marked part was copied.");
    return report;
}

} // namespace orvelin::media
