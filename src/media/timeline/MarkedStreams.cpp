#include "media/timeline/MarkedStreams.h"

#include "media/PipelineRelease.h"

#include <QFile>
#include <gst/gst.h>

#include <condition_variable>
#include <memory>
#include <mutex>

namespace orvelin::media {

namespace {

struct Reading {
    std::mutex mutex;
    std::condition_variable changed;
    int pads = 0;
    bool allPads = false; // the parser said so
    int streams = 0;      // how many streams the parser's collection holds
    bool failed = false;
    std::vector<StreamMark> marks;

    bool Done() const {
        const int seen = static_cast<int>(marks.size());
        return failed || (allPads && pads > 0 && seen >= pads) || (streams > 0 && seen >= streams);
    }
};

using ReadingRef = std::shared_ptr<Reading>;

void forgetReading(gpointer data, GClosure*) {
    delete static_cast<ReadingRef*>(data);
}
void forgetProbeReading(gpointer data) {
    delete static_cast<ReadingRef*>(data);
}

// The stream-start event of each stream carries the container's marks.
GstPadProbeReturn onStreamStart(GstPad*, GstPadProbeInfo* info, gpointer data) {
    GstEvent* event = GST_PAD_PROBE_INFO_EVENT(info);
    if (!event || GST_EVENT_TYPE(event) != GST_EVENT_STREAM_START)
        return GST_PAD_PROBE_OK;
    const gchar* id = nullptr;
    GstStreamFlags flags = GST_STREAM_FLAG_NONE;
    gst_event_parse_stream_start(event, &id);
    gst_event_parse_stream_flags(event, &flags);
    Reading& reading = **static_cast<ReadingRef*>(data);
    std::lock_guard lock(reading.mutex);
    reading.marks.push_back(StreamMark{QByteArray(id ? id : ""),
                                       (flags & GST_STREAM_FLAG_SELECT) != 0,
                                       (flags & GST_STREAM_FLAG_UNSELECT) != 0});
    reading.changed.notify_all();
    return GST_PAD_PROBE_REMOVE;
}

void onParsedPad(GstElement* parser, GstPad* pad, gpointer data) {
    const ReadingRef& reading = *static_cast<ReadingRef*>(data);
    GstElement* pipeline = GST_ELEMENT(gst_element_get_parent(parser));
    if (!pipeline)
        return;
    GstElement* sink = gst_element_factory_make("fakesink", nullptr);
    g_object_set(sink, "sync", FALSE, nullptr);
    gst_bin_add(GST_BIN(pipeline), sink);
    GstPad* sinkPad = gst_element_get_static_pad(sink, "sink");
    {
        std::lock_guard lock(reading->mutex);
        ++reading->pads;
    }
    gst_pad_add_probe(sinkPad, GST_PAD_PROBE_TYPE_EVENT_DOWNSTREAM, onStreamStart,
                      new ReadingRef(reading), forgetProbeReading);
    if (gst_pad_link(pad, sinkPad) != GST_PAD_LINK_OK) {
        std::lock_guard lock(reading->mutex);
        --reading->pads;
    }
    gst_object_unref(sinkPad);
    gst_element_sync_state_with_parent(sink);
    gst_object_unref(pipeline);
}

void onNoMorePads(GstElement*, gpointer data) {
    Reading& reading = **static_cast<ReadingRef*>(data);
    std::lock_guard lock(reading.mutex);
    reading.allPads = true;
    reading.changed.notify_all();
}

GstBusSyncReply onBusMessage(GstBus*, GstMessage* message, gpointer data) {
    const GstMessageType type = GST_MESSAGE_TYPE(message);
    Reading& reading = **static_cast<ReadingRef*>(data);
    if (type == GST_MESSAGE_ERROR) {
        std::lock_guard lock(reading.mutex);
        reading.failed = true;
        reading.changed.notify_all();
    } else if (type == GST_MESSAGE_STREAM_COLLECTION) {
        GstStreamCollection* collection = nullptr;
        gst_message_parse_stream_collection(message, &collection);
        std::lock_guard lock(reading.mutex);
        if (collection) {
            reading.streams = static_cast<int>(gst_stream_collection_get_size(collection));
            gst_object_unref(collection);
        }
        reading.changed.notify_all();
    }
    gst_message_unref(message);
    return GST_BUS_DROP;
}

void forgetBusReading(gpointer data) {
    delete static_cast<ReadingRef*>(data);
}

} // namespace

std::vector<StreamMark> ReadStreamMarks(const QString& path, std::chrono::milliseconds budget) {
    GstElement* pipeline = gst_pipeline_new(nullptr);
    GstElement* source = gst_element_factory_make("filesrc", nullptr);
    GstElement* parser = gst_element_factory_make("parsebin", nullptr);
    if (!pipeline || !source || !parser) {
        for (GstElement* element : {pipeline, source, parser})
            if (element)
                gst_object_unref(gst_object_ref_sink(element));
        return {};
    }
    gst_object_ref_sink(pipeline);
    g_object_set(source, "location", QFile::encodeName(path).constData(), nullptr);
    gst_bin_add_many(GST_BIN(pipeline), source, parser, nullptr);
    gst_element_link(source, parser);
    auto reading = std::make_shared<Reading>();
    g_signal_connect_data(parser, "pad-added", G_CALLBACK(onParsedPad), new ReadingRef(reading),
                          forgetReading, GConnectFlags(0));
    g_signal_connect_data(parser, "no-more-pads", G_CALLBACK(onNoMorePads), new ReadingRef(reading),
                          forgetReading, GConnectFlags(0));
    GstBus* bus = gst_element_get_bus(pipeline);
    gst_bus_set_sync_handler(bus, onBusMessage, new ReadingRef(reading), forgetBusReading);
    gst_object_unref(bus);

    std::vector<StreamMark> marks;
    if (gst_element_set_state(pipeline, GST_STATE_PAUSED) != GST_STATE_CHANGE_FAILURE) {
        std::unique_lock lock(reading->mutex);
        if (reading->changed.wait_for(lock, budget, [&] { return reading->Done(); }) &&
            !reading->failed)
            marks = reading->marks;
    }
    ReleasePipeline(pipeline, std::chrono::milliseconds(300));
    return marks;
}

QByteArray ChooseMarkedStream(const std::vector<QByteArray>& candidates,
                              const std::vector<StreamMark>& marks) {
    if (candidates.empty())
        return {};
    auto markOf = [&](const QByteArray& id) -> const StreamMark* {
        for (const StreamMark& mark : marks)
            if (mark.id == id)
                return &mark;
        return nullptr;
    };
    for (const QByteArray& id : candidates)
        if (const StreamMark* mark = markOf(id); mark && mark->isDefault && !mark->isDisabled)
            return id;
    for (const QByteArray& id : candidates)
        if (const StreamMark* mark = markOf(id); !mark || !mark->isDisabled)
            return id;
    return candidates.front();
}

} // namespace orvelin::media
