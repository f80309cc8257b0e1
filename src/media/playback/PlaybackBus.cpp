#include "media/playback/PlaybackBus.h"

#include "media/playback/PlaybackErrors.h"

#include <gst/gst.h>
#include <gst/pbutils/pbutils.h>

namespace orvelin::media {

uint64_t PlaybackBusState::DroppedFrames() const {
    uint64_t total = 0;
    for (const auto& [element, dropped] : droppedFrames)
        total += dropped;
    return total;
}

namespace {

QString errorTextOf(const GError* error, const QStringList& missing) {
    if (!missing.isEmpty() && error &&
        ((error->domain == GST_CORE_ERROR && error->code == GST_CORE_ERROR_MISSING_PLUGIN) ||
         (error->domain == GST_STREAM_ERROR && error->code == GST_STREAM_ERROR_CODEC_NOT_FOUND)))
        return ShortErrorText(QStringLiteral("No decoder is installed for %1.")
                                  .arg(missing.join(QStringLiteral(", "))));
    if (error && error->message)
        return ShortErrorText(QString::fromUtf8(error->message));
    return QStringLiteral("The media pipeline failed.");
}

void onError(PlaybackBusState& state, GstMessage* message) {
    GError* error = nullptr;
    gchar* debug = nullptr;
    gst_message_parse_error(message, &error, &debug);
    const HRESULT hr = ResultForPlaybackError(error);
    {
        std::lock_guard lock(state.mutex);
        const QString text = errorTextOf(error, state.missing);
        if (!state.failed) {
            state.failed = true;
            state.errorCode = hr;
            state.errorText = text;
        }
        if (state.events)
            state.events->Push({EC_ERRORABORT, hr, text});
    }
    state.changed.notify_all();
    if (error)
        g_error_free(error);
    g_free(debug);
}

void onElementMessage(PlaybackBusState& state, GstMessage* message) {
    if (!gst_is_missing_plugin_message(message))
        return;
    gchar* description = gst_missing_plugin_message_get_description(message);
    std::lock_guard lock(state.mutex);
    const QString text = QString::fromUtf8(description ? description : "an unknown format");
    if (!state.missing.contains(text))
        state.missing << text;
    g_free(description);
}

void onQos(PlaybackBusState& state, GstMessage* message) {
    GstFormat format = GST_FORMAT_UNDEFINED;
    guint64 processed = 0;
    guint64 dropped = 0;
    gst_message_parse_qos_stats(message, &format, &processed, &dropped);
    // Video elements count in buffers (frames); audio sinks in samples.
    if (format != GST_FORMAT_BUFFERS || dropped == G_MAXUINT64)
        return;
    std::lock_guard lock(state.mutex);
    state.droppedFrames[GST_MESSAGE_SRC(message)] = dropped;
}

GstBusSyncReply onMessage(GstBus*, GstMessage* message, gpointer data) {
    PlaybackBusState& state = **static_cast<std::shared_ptr<PlaybackBusState>*>(data);
    switch (GST_MESSAGE_TYPE(message)) {
    case GST_MESSAGE_ASYNC_DONE:
        if (GST_MESSAGE_SRC(message) == state.pipeline) {
            {
                std::lock_guard lock(state.mutex);
                ++state.asyncDone;
            }
            state.changed.notify_all();
        }
        break;
    case GST_MESSAGE_ERROR:
        onError(state, message);
        break;
    case GST_MESSAGE_EOS: {
        std::lock_guard lock(state.mutex);
        if (state.events)
            state.events->Push({EC_COMPLETE, S_OK, {}});
        break;
    }
    case GST_MESSAGE_ELEMENT:
        onElementMessage(state, message);
        break;
    case GST_MESSAGE_QOS:
        onQos(state, message);
        break;
    case GST_MESSAGE_STEP_DONE: {
        // The video sink's step in frames; the audio follows it in time.
        GstFormat format = GST_FORMAT_UNDEFINED;
        gboolean eos = FALSE;
        gst_message_parse_step_done(message, &format, nullptr, nullptr, nullptr, nullptr, nullptr,
                                    &eos);
        if (format == GST_FORMAT_BUFFERS) {
            {
                std::lock_guard lock(state.mutex);
                ++state.stepsDone;
                state.stepReachedEnd = eos;
            }
            state.changed.notify_all();
        }
        break;
    }
    case GST_MESSAGE_DURATION_CHANGED: {
        std::lock_guard lock(state.mutex);
        state.durationChanged = true;
        break;
    }
    default:
        break;
    }
    // Nobody pops this bus: everything was handled here. A dropped message
    // is the handler's to release; each one holds its source element (and so
    // the whole pipeline with its bus) alive.
    gst_message_unref(message);
    return GST_BUS_DROP;
}

void forgetState(gpointer data) {
    delete static_cast<std::shared_ptr<PlaybackBusState>*>(data);
}

} // namespace

void WatchPlaybackBus(GstElement* pipeline, const std::shared_ptr<PlaybackBusState>& state) {
    state->pipeline = pipeline;
    GstBus* bus = gst_element_get_bus(pipeline);
    gst_bus_set_sync_handler(bus, onMessage, new std::shared_ptr<PlaybackBusState>(state),
                             forgetState);
    gst_object_unref(bus);
}

} // namespace orvelin::media
