#include "media/FilterGraph.h"

#include "media/ErrorText.h"
#include "media/encoders/FilterGraphImpl.h"
#include "media/timeline/OutputChain.h"
#include "media/timeline/StreamEnds.h"

#include <QFileInfo>
#include <QStringList>

namespace orvelin::media {

namespace {

HRESULT resultOfError(const GError* error) {
    if (!error)
        return VFW_E_RUNTIME_ERROR;
    if (error->domain == GST_RESOURCE_ERROR) {
        switch (error->code) {
        case GST_RESOURCE_ERROR_NO_SPACE_LEFT:
            return E_DISK_FULL;
        case GST_RESOURCE_ERROR_NOT_AUTHORIZED:
        case GST_RESOURCE_ERROR_OPEN_WRITE:
        case GST_RESOURCE_ERROR_OPEN_READ_WRITE:
        case GST_RESOURCE_ERROR_WRITE:
            return E_ACCESSDENIED;
        case GST_RESOURCE_ERROR_NOT_FOUND:
            return VFW_E_NOT_FOUND;
        default:
            return VFW_E_RUNTIME_ERROR;
        }
    }
    if (error->domain == GST_CORE_ERROR && error->code == GST_CORE_ERROR_NEGOTIATION)
        return VFW_E_TYPE_NOT_ACCEPTED;
    if (error->domain == GST_STREAM_ERROR) {
        switch (error->code) {
        case GST_STREAM_ERROR_FORMAT:
        case GST_STREAM_ERROR_WRONG_TYPE:
            return VFW_E_TYPE_NOT_ACCEPTED;
        case GST_STREAM_ERROR_TYPE_NOT_FOUND:
        case GST_STREAM_ERROR_CODEC_NOT_FOUND:
        case GST_STREAM_ERROR_DEMUX:
        case GST_STREAM_ERROR_DECODE:
            return VFW_E_UNKNOWN_FILE_TYPE;
        default:
            break;
        }
    }
    return VFW_E_RUNTIME_ERROR;
}

// The element's own name, unless GStreamer made it up.
QString errorSource(GstObject* source) {
    if (!source)
        return {};
    gchar* name = gst_object_get_name(source);
    QString text = QString::fromUtf8(name ? name : "");
    g_free(name);
    if (GST_IS_ELEMENT(source)) {
        GstElementFactory* factory = gst_element_get_factory(GST_ELEMENT(source));
        if (factory && text.startsWith(QString::fromUtf8(GST_OBJECT_NAME(factory))))
            return {};
    }
    return text;
}

// The file an element reads or writes, empty for other elements.
QString elementLocation(GstObject* element) {
    if (!element || !GST_IS_ELEMENT(element) ||
        !g_object_class_find_property(G_OBJECT_GET_CLASS(element), "location"))
        return {};
    gchar* location = nullptr;
    g_object_get(element, "location", &location, nullptr);
    QString text = QString::fromUtf8(location ? location : "");
    g_free(location);
    return text;
}

// The text of an error: its element's own name and the message; for a file
// that cannot be opened or written also the file and the system's reason.
QString messageText(GstObject* element, const GError* error, const gchar* debug) {
    QString text = QString::fromUtf8(error ? error->message : "Unknown error.");
    const QString source = errorSource(element);
    if (!source.isEmpty())
        text = source + QStringLiteral(": ") + text;
    if (!error || error->domain != GST_RESOURCE_ERROR)
        return text;
    const QString file = elementLocation(element);
    if (!file.isEmpty() && !text.contains(file)) {
        if (text.endsWith(QLatin1Char('.')))
            text.chop(1);
        text += QStringLiteral(" \"%1\".").arg(file);
    }
    // The last line of the details ends with the system's reason, e.g.
    // "system error: No such file or directory" or "Error while writing to
    // file descriptor 25: File too large".
    const QString lastLine = QString::fromUtf8(debug ? debug : "").section(QLatin1Char('\n'), -1);
    const QString reason = lastLine.section(QStringLiteral(": "), -1).trimmed();
    if (!reason.isEmpty() && !reason.contains(QLatin1Char('/')) && reason.size() < 80 &&
        !text.contains(reason))
        text += QLatin1Char(' ') + reason.left(1).toUpper() + reason.mid(1) +
                (reason.endsWith(QLatin1Char('.')) ? QString() : QStringLiteral("."));
    return text;
}

GstBusSyncReply onBusMessage(GstBus*, GstMessage* message, gpointer data) {
    static_cast<FilterGraph::Impl*>(data)->OnBusMessage(message);
    // The dropped message is the handler's to release.
    gst_message_unref(message);
    return GST_BUS_DROP;
}

GstPadProbeReturn dropData(GstPad*, GstPadProbeInfo*, gpointer) {
    return GST_PAD_PROBE_DROP;
}

// Runs once nothing is being pushed through the pad (at once when it is
// idle): the chain behind it gets its end of stream.
GstPadProbeReturn endChainWhenIdle(GstPad*, GstPadProbeInfo*, gpointer head) {
    gst_pad_send_event(GST_PAD(head), gst_event_new_eos());
    return GST_PAD_PROBE_REMOVE;
}

GstPadProbeReturn countProgress(GstPad*, GstPadProbeInfo*, gpointer data) {
    static_cast<std::atomic<uint64_t>*>(data)->fetch_add(1, std::memory_order_relaxed);
    return GST_PAD_PROBE_OK;
}

// Every sink pad of the elements that end the graph (the file writer, the
// preview's sinks), in bins too.
std::vector<GstPad*> endPads(GstElement* pipeline) {
    std::vector<GstPad*> pads;
    GstIterator* sinks = gst_bin_iterate_sinks(GST_BIN(pipeline));
    GValue item = G_VALUE_INIT;
    while (gst_iterator_next(sinks, &item) == GST_ITERATOR_OK) {
        auto* sink = GST_ELEMENT(g_value_get_object(&item));
        GstIterator* sinkPads = gst_element_iterate_sink_pads(sink);
        GValue padItem = G_VALUE_INIT;
        while (gst_iterator_next(sinkPads, &padItem) == GST_ITERATOR_OK) {
            pads.push_back(GST_PAD(g_value_dup_object(&padItem)));
            g_value_reset(&padItem);
        }
        g_value_unset(&padItem);
        gst_iterator_free(sinkPads);
        g_value_reset(&item);
    }
    g_value_unset(&item);
    gst_iterator_free(sinks);
    return pads;
}

} // namespace

// ---- Impl -------------------------------------------------------------------

FilterGraph::Impl::Impl() {
    pipeline = gst_pipeline_new(nullptr);
    if (pipeline) {
        gst_object_ref_sink(pipeline);
        GstBus* bus = gst_element_get_bus(pipeline);
        gst_bus_set_sync_handler(bus, onBusMessage, this, nullptr);
        gst_object_unref(bus);
    }
}

FilterGraph::Impl::~Impl() {
    EndStallWatch();
    Release();
    for (GraphBranch& b : branches) {
        if (b.source)
            gst_object_unref(b.source);
        if (b.head)
            gst_object_unref(b.head);
    }
    branches.clear();
    if (pipeline) {
        GstBus* bus = gst_element_get_bus(pipeline);
        gst_bus_set_sync_handler(bus, nullptr, nullptr, nullptr);
        gst_object_unref(bus);
        gst_object_unref(pipeline);
    }
    filters.clear();
}

GstElement* FilterGraph::Impl::AddElement(const char* factory, const char* name) {
    GstElement* element = gst_element_factory_make(factory, name);
    if (!element)
        return nullptr;
    if (!gst_bin_add(GST_BIN(pipeline), element))
        return nullptr;
    return element;
}

bool FilterGraph::Impl::HoldsFilterElement(GstElement* element) const {
    for (const GraphFilterEntry& entry : filters) {
        if (entry.filter && entry.filter->NativeElement() == element)
            return true;
    }
    return false;
}

void FilterGraph::Impl::OnBusMessage(GstMessage* message) {
    switch (GST_MESSAGE_TYPE(message)) {
    case GST_MESSAGE_EOS: {
        std::lock_guard lock(mutex);
        eos = true;
        changed.notify_all();
        if (!finishing && started && !completeQueued) {
            completeQueued = true;
            events.Push(GraphEvent{EC_COMPLETE, S_OK, {}});
        }
        break;
    }
    case GST_MESSAGE_ERROR: {
        GError* error = nullptr;
        gchar* debug = nullptr;
        gst_message_parse_error(message, &error, &debug);
        const QString text = messageText(GST_MESSAGE_SRC(message), error, debug);
        const HRESULT hr = resultOfError(error);
        if (error)
            g_error_free(error);
        g_free(debug);
        std::lock_guard lock(mutex);
        const bool first = !errorSeen;
        if (first) {
            errorSeen = true;
            errorHr = hr;
            errorText = LimitErrorText(ShownText(text));
        }
        changed.notify_all();
        if (first && !finishing && started)
            events.Push(GraphEvent{EC_ERRORABORT, hr, errorText});
        break;
    }
    case GST_MESSAGE_WARNING: {
        // A demultiplexer or decoder that stumbles over damaged data says
        // so and goes on; the run's end tells what it said.
        GError* error = nullptr;
        gchar* debug = nullptr;
        gst_message_parse_warning(message, &error, &debug);
        QString text = QString::fromUtf8(error && error->message ? error->message : "");
        if (text.isEmpty())
            text = QStringLiteral("damaged data");
        if (error)
            g_error_free(error);
        g_free(debug);
        NoteSourceWarning(sources, GST_MESSAGE_SRC(message), text);
        break;
    }
    default:
        break;
    }
}

QString FilterGraph::Impl::ShownText(QString text) const {
    if (!writtenFile.isEmpty() && !shownFile.isEmpty())
        text.replace(writtenFile, shownFile);
    return text;
}

void FilterGraph::Impl::Finish() {
    {
        std::lock_guard lock(mutex);
        finishing = true;
        if (eos || errorSeen)
            return;
    }
    // Whatever the timeline produces from now on is dropped; each chain is
    // ended after what it already holds, as soon as nothing is on its way
    // into it. Ending the chains one by one could wait for ever: a full
    // video chain may wait for the multiplexer, which waits for sound.
    if (streamEnds)
        streamEnds->Cut();
    std::vector<std::pair<GstPad*, gulong>> drops;
    for (GraphBranch& b : branches) {
        if (!b.source || !b.head)
            continue;
        drops.emplace_back(b.source, gst_pad_add_probe(b.source, GST_PAD_PROBE_TYPE_DATA_DOWNSTREAM,
                                                       dropData, nullptr, nullptr));
        gst_pad_add_probe(b.source, GST_PAD_PROBE_TYPE_IDLE, endChainWhenIdle,
                          gst_object_ref(b.head), gst_object_unref);
    }
    {
        std::unique_lock lock(mutex);
        changed.wait_for(lock, finishTimeout, [this] { return eos || errorSeen; });
    }
    gst_element_set_state(pipeline, GST_STATE_NULL);
    for (auto& [pad, id] : drops)
        gst_pad_remove_probe(pad, id);
}

QString FilterGraph::Impl::StalledText() const {
    QStringList names;
    for (const auto& stream : sources) {
        const QString name = QFileInfo(stream->Report().file).fileName();
        if (!name.isEmpty() && !names.contains(name))
            names.append(name);
    }
    const QString what =
        names.isEmpty() ? QStringLiteral("the timeline") : names.join(QStringLiteral(", "));
    return QStringLiteral("The conversion of %1 stopped making progress; the file may not be "
                          "readable from the marked time.")
        .arg(what);
}

void FilterGraph::Impl::StartStallWatch() {
    EndStallWatch();
    std::vector<GstPad*> pads = endPads(pipeline);
    for (GraphBranch& b : branches) {
        if (b.source)
            pads.push_back(GST_PAD(gst_object_ref(b.source)));
    }
    for (GstPad* pad : pads)
        progressProbes.emplace_back(
            pad, gst_pad_add_probe(pad,
                                   static_cast<GstPadProbeType>(GST_PAD_PROBE_TYPE_BUFFER |
                                                                GST_PAD_PROBE_TYPE_BUFFER_LIST),
                                   countProgress, &progress, nullptr));
    {
        std::lock_guard lock(mutex);
        stallWatchStop = false;
    }
    stallWatch = std::thread([this] {
        using Clock = std::chrono::steady_clock;
        uint64_t seen = progress.load();
        auto lastMove = Clock::now();
        std::unique_lock lock(mutex);
        while (!stallWatchStop) {
            changed.wait_for(lock, std::chrono::milliseconds(200),
                             [this] { return stallWatchStop; });
            if (stallWatchStop)
                break;
            const bool running = started && !finishing && !eos && !errorSeen;
            // Asked to play (prerolling counts: a graph may never get there)
            // and not paused on purpose.
            lock.unlock();
            GstState state = GST_STATE_NULL;
            GstState pending = GST_STATE_VOID_PENDING;
            gst_element_get_state(pipeline, &state, &pending, 0);
            lock.lock();
            const GstState target = pending != GST_STATE_VOID_PENDING ? pending : state;
            const uint64_t count = progress.load();
            const auto now = Clock::now();
            if (!running || target != GST_STATE_PLAYING || count != seen) {
                seen = count;
                lastMove = now;
                continue;
            }
            if (now - lastMove < stallTimeout || stallWatchStop || errorSeen || finishing)
                continue;
            errorSeen = true;
            errorHr = VFW_E_TIMEOUT;
            errorText = LimitErrorText(StalledText());
            changed.notify_all();
            events.Push(GraphEvent{EC_ERRORABORT, errorHr, errorText});
            break;
        }
    });
}

void FilterGraph::Impl::EndStallWatch() {
    {
        std::lock_guard lock(mutex);
        stallWatchStop = true;
        changed.notify_all();
    }
    if (stallWatch.joinable() && stallWatch.get_id() != std::this_thread::get_id())
        stallWatch.join();
    for (auto& [pad, id] : progressProbes) {
        gst_pad_remove_probe(pad, id);
        gst_object_unref(pad);
    }
    progressProbes.clear();
}

void FilterGraph::Impl::Release() {
    if (!pipeline)
        return;
    gst_element_set_state(pipeline, GST_STATE_NULL);
    {
        std::lock_guard lock(mutex);
        started = false;
    }
    // The added filters belong to their owners: they leave the pipeline so
    // that a later graph can take them.
    for (const GraphFilterEntry& entry : filters) {
        auto* element =
            entry.filter ? static_cast<GstElement*>(entry.filter->NativeElement()) : nullptr;
        if (element && GST_OBJECT_PARENT(element) == GST_OBJECT(pipeline)) {
            gst_bin_remove(GST_BIN(pipeline), element);
            RestoreReordering(element);
        }
    }
}

// ---- FilterGraph ------------------------------------------------------------

FilterGraph::FilterGraph() : impl_(std::make_unique<Impl>()) {}

FilterGraph::~FilterGraph() = default;

HRESULT FilterGraph::AddFilter(const std::shared_ptr<Filter>& filter, const QString& name) {
    if (!filter || !filter->NativeElement())
        return RecordError(E_POINTER, QStringLiteral("The chosen compressor is not available; "
                                                     "choose it again in the Options dialog."));
    if (!impl_->pipeline)
        return RecordError(E_UNEXPECTED, QStringLiteral("The graph could not be created."));
    auto* element = static_cast<GstElement*>(filter->NativeElement());
    const QByteArray utf8 = name.toUtf8();
    if (!name.isEmpty()) {
        GstElement* existing = gst_bin_get_by_name(GST_BIN(impl_->pipeline), utf8.constData());
        if (existing) {
            gst_object_unref(existing);
            return RecordError(
                VFW_E_DUPLICATE_NAME,
                QStringLiteral("The graph already holds a filter named %1.").arg(name));
        }
    }
    if (GST_OBJECT_PARENT(element))
        return RecordError(
            VFW_E_WRONG_STATE,
            QStringLiteral("%1 is still in use by another conversion.").arg(filter->LongName()));
    if (!name.isEmpty() && !gst_object_set_name(GST_OBJECT(element), utf8.constData()))
        return RecordError(E_FAIL, QStringLiteral("The filter cannot be renamed to %1.").arg(name));
    if (!gst_bin_add(GST_BIN(impl_->pipeline), element))
        return RecordError(E_FAIL,
                           QStringLiteral("%1 cannot join the graph.").arg(filter->LongName()));
    impl_->filters.push_back({name, filter});
    return S_OK;
}

std::vector<GraphFilterEntry> FilterGraph::Filters() const {
    return impl_->filters;
}

HRESULT FilterGraph::Run() {
    if (!impl_->pipeline)
        return RecordError(E_UNEXPECTED, QStringLiteral("The graph could not be created."));
    {
        std::lock_guard lock(impl_->mutex);
        impl_->started = true;
        impl_->finishing = false;
        impl_->eos = false;
        impl_->completeQueued = false;
        impl_->errorSeen = false;
        impl_->errorText.clear();
    }
    const GstStateChangeReturn ret = gst_element_set_state(impl_->pipeline, GST_STATE_PLAYING);
    if (ret != GST_STATE_CHANGE_FAILURE) {
        impl_->StartStallWatch();
        return S_OK;
    }
    QString text;
    HRESULT hr = E_FAIL;
    {
        std::lock_guard lock(impl_->mutex);
        impl_->started = false;
        if (impl_->errorSeen) {
            text = impl_->errorText;
            hr = impl_->errorHr;
        }
    }
    impl_->events.Clear();
    gst_element_set_state(impl_->pipeline, GST_STATE_NULL);
    if (text.isEmpty())
        text = QStringLiteral("The conversion graph could not be started.");
    return RecordError(hr, text);
}

HRESULT FilterGraph::Stop() {
    if (!impl_->pipeline)
        return S_OK;
    bool running = false;
    {
        std::lock_guard lock(impl_->mutex);
        running = impl_->started;
    }
    impl_->EndStallWatch();
    if (running)
        impl_->Finish();
    gst_element_set_state(impl_->pipeline, GST_STATE_NULL);
    std::lock_guard lock(impl_->mutex);
    impl_->started = false;
    return S_OK;
}

HRESULT FilterGraph::GetCurrentPosition(REFERENCE_TIME* position) const {
    if (!position)
        return E_POINTER;
    *position = 0;
    if (!impl_->pipeline)
        return E_FAIL;
    gint64 now = -1;
    if (!gst_element_query_position(impl_->pipeline, GST_FORMAT_TIME, &now) || now < 0)
        return E_FAIL;
    *position = now / 100;
    return S_OK;
}

GraphState FilterGraph::State() const {
    if (!impl_->pipeline)
        return GraphState::Stopped;
    GstState state = GST_STATE_NULL;
    GstState pending = GST_STATE_VOID_PENDING;
    gst_element_get_state(impl_->pipeline, &state, &pending, 0);
    const GstState target = pending != GST_STATE_VOID_PENDING ? pending : state;
    if (target == GST_STATE_PLAYING)
        return GraphState::Running;
    if (target == GST_STATE_PAUSED)
        return GraphState::Paused;
    return GraphState::Stopped;
}

void FilterGraph::SetFinishTimeout(std::chrono::milliseconds timeout) {
    std::lock_guard lock(impl_->mutex);
    impl_->finishTimeout = timeout;
}

void FilterGraph::SetStallTimeout(std::chrono::milliseconds timeout) {
    std::lock_guard lock(impl_->mutex);
    impl_->stallTimeout = timeout;
}

GraphEventQueue& FilterGraph::Events() {
    return impl_->events;
}

HRESULT FilterGraph::SetNotifyWindow(QObject* receiver, std::function<void()> notify) {
    impl_->events.SetNotifyWindow(receiver, std::move(notify));
    return S_OK;
}

bool FilterGraph::WrittenVideoSize(int32_t* width, int32_t* height) const {
    for (const GraphBranch& branch : impl_->branches) {
        if (branch.kind != MediaMajorType::Video || !branch.head || branch.writtenWidth <= 0)
            continue;
        if (width)
            *width = branch.writtenWidth;
        if (height)
            *height = branch.writtenHeight;
        return true;
    }
    return false;
}

QString FilterGraph::LastErrorText() const {
    std::lock_guard lock(impl_->mutex);
    return impl_->errorText;
}

void FilterGraph::ShowFileAs(const QString& written, const QString& shown) {
    std::lock_guard lock(impl_->mutex);
    impl_->writtenFile = written;
    impl_->shownFile = shown;
}

std::vector<SourceStreamReport> FilterGraph::SourceReports() const {
    std::vector<SourceStreamReport> reports;
    for (const auto& stream : impl_->sources)
        reports.push_back(stream->Report());
    return reports;
}

} // namespace orvelin::media
