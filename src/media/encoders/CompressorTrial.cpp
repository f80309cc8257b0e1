#include "media/encoders/CompressorTrial.h"

#include "media/PlaybackGraph.h"

#include <gst/gst.h>

namespace orvelin::media {

namespace {

GstElement* Make(const char* factory, GstElement* bin) {
    GstElement* e = gst_element_factory_make(factory, nullptr);
    if (e)
        gst_bin_add(GST_BIN(bin), e);
    return e;
}

HRESULT Fail(QString* error, const QString& text) {
    if (error)
        *error = text;
    return E_FAIL;
}

} // namespace

HRESULT RunCompressorTrial(const std::shared_ptr<Filter>& compressor, const CompressorTrial& trial,
                           QString* error, int timeoutMs) {
    if (!MediaPlatformInitialized())
        return Fail(error, QStringLiteral("the media platform is not initialised"));
    if (!compressor || trial.path.isEmpty() || trial.frames <= 0 || trial.rateNum <= 0 ||
        trial.rateDen <= 0)
        return E_INVALIDARG;
    auto* coder = static_cast<GstElement*>(compressor->NativeElement());
    if (GST_OBJECT_PARENT(coder))
        return Fail(error, QStringLiteral("the compressor is already in a graph"));

    GstElement* pipeline = gst_pipeline_new(nullptr);
    const bool video = trial.kind == CompressorKind::Video;
    GstElement* source = Make(video ? "videotestsrc" : "audiotestsrc", pipeline);
    GstElement* caps = Make("capsfilter", pipeline);
    GstElement* queue = Make("queue", pipeline);
    GstElement* muxer = Make(trial.muxer.toUtf8().constData(), pipeline);
    GstElement* sink = Make("filesink", pipeline);
    if (!source || !caps || !queue || !muxer || !sink) {
        gst_object_unref(pipeline);
        return Fail(error, QStringLiteral("element missing for the trial (%1)").arg(trial.muxer));
    }
    g_object_set(source, "num-buffers", trial.frames, nullptr);
    GstCaps* raw = nullptr;
    if (video) {
        // The editing timeline hands compressors RGB frames.
        g_object_set(source, "pattern", trial.noisy ? 1 /* snow */ : 0 /* smpte */, nullptr);
        raw =
            gst_caps_new_simple("video/x-raw", "format", G_TYPE_STRING, "RGB", "width", G_TYPE_INT,
                                trial.width, "height", G_TYPE_INT, trial.height, "framerate",
                                GST_TYPE_FRACTION, trial.rateNum, trial.rateDen, nullptr);
    } else {
        g_object_set(source, "samplesperbuffer", 1024, "wave",
                     trial.noisy ? 5 /* white noise */ : 0, nullptr);
        raw = gst_caps_new_simple("audio/x-raw", "format", G_TYPE_STRING, "S16LE", "rate",
                                  G_TYPE_INT, 44100, "channels", G_TYPE_INT, 2, "layout",
                                  G_TYPE_STRING, "interleaved", nullptr);
    }
    g_object_set(caps, "caps", raw, nullptr);
    gst_caps_unref(raw);
    g_object_set(sink, "location", trial.path.toUtf8().constData(), nullptr);

    gst_bin_add(GST_BIN(pipeline), coder);
    HRESULT hr = S_OK;
    QString message;
    if (!gst_element_link_many(source, caps, queue, coder, nullptr) ||
        !gst_element_link(coder, muxer) || !gst_element_link(muxer, sink)) {
        hr = E_FAIL;
        message = QStringLiteral("the compressor does not connect to %1").arg(trial.muxer);
    } else if (gst_element_set_state(pipeline, GST_STATE_PLAYING) == GST_STATE_CHANGE_FAILURE) {
        hr = E_FAIL;
        message = QStringLiteral("the trial pipeline does not start");
    }
    if (Succeeded(hr)) {
        GstBus* bus = gst_element_get_bus(pipeline);
        GstMessage* msg = gst_bus_timed_pop_filtered(
            bus, static_cast<GstClockTime>(timeoutMs) * GST_MSECOND,
            static_cast<GstMessageType>(GST_MESSAGE_EOS | GST_MESSAGE_ERROR));
        if (!msg) {
            hr = VFW_E_TIMEOUT;
            message = QStringLiteral("the trial did not finish in time");
        } else if (GST_MESSAGE_TYPE(msg) == GST_MESSAGE_ERROR) {
            GError* err = nullptr;
            gst_message_parse_error(msg, &err, nullptr);
            hr = E_FAIL;
            message = QString::fromUtf8(err ? err->message : "unknown error");
            if (err)
                g_error_free(err);
        }
        if (msg)
            gst_message_unref(msg);
        gst_object_unref(bus);
    }
    gst_element_set_state(pipeline, GST_STATE_NULL);
    // The compressor leaves with its own reference intact, unlinked.
    gst_element_unlink(queue, coder);
    gst_element_unlink(coder, muxer);
    gst_object_ref(coder);
    gst_bin_remove(GST_BIN(pipeline), coder);
    gst_object_unref(coder);
    gst_object_unref(pipeline);
    if (Failed(hr) && error)
        *error = message;
    return hr;
}

} // namespace orvelin::media
