#include "media/SoundPlayer.h"

#include "media/MediaPlatform.h"

#include <gst/app/gstappsrc.h>
#include <gst/gst.h>

#include <atomic>
#include <thread>

namespace orvelin::media {

namespace {
std::atomic<int> g_playing{0};

void playOnThread(QByteArray data) {
    GError* error = nullptr;
    GstElement* pipeline = gst_parse_launch(
        "appsrc name=src ! wavparse ! audioconvert ! audioresample ! autoaudiosink", &error);
    if (error)
        g_error_free(error);
    if (!pipeline) {
        --g_playing;
        return;
    }
    GstElement* src = gst_bin_get_by_name(GST_BIN(pipeline), "src");
    if (src) {
        GstBuffer* buffer = gst_buffer_new_memdup(data.constData(), data.size());
        gst_app_src_push_buffer(GST_APP_SRC(src), buffer);
        gst_app_src_end_of_stream(GST_APP_SRC(src));
        gst_object_unref(src);
    }
    if (gst_element_set_state(pipeline, GST_STATE_PLAYING) != GST_STATE_CHANGE_FAILURE) {
        GstBus* bus = gst_element_get_bus(pipeline);
        // A hover sound is a fraction of a second; never wait longer than this.
        GstMessage* msg = gst_bus_timed_pop_filtered(
            bus, 5 * GST_SECOND, static_cast<GstMessageType>(GST_MESSAGE_EOS | GST_MESSAGE_ERROR));
        if (msg)
            gst_message_unref(msg);
        gst_object_unref(bus);
    }
    gst_element_set_state(pipeline, GST_STATE_NULL);
    gst_object_unref(pipeline);
    --g_playing;
}
} // namespace

void PlaySoundAsync(const QByteArray& wavData) {
    if (wavData.isEmpty() || !MediaPlatformInitialized())
        return;
    int expected = 0;
    if (!g_playing.compare_exchange_strong(expected, 1))
        return;
    std::thread(playOnThread, wavData).detach();
}

int SoundsPlaying() {
    return g_playing.load();
}

} // namespace orvelin::media
