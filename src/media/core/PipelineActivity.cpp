#include "media/core/PipelineActivity.h"

#include <gst/gst.h>

namespace orvelin::media {

namespace {

// Visits every item of an iterator, starting again when the set changes
// under it (the pipeline keeps growing while it opens).
template <typename Visit> void forEach(GstIterator* it, Visit visit) {
    GValue item = G_VALUE_INIT;
    bool done = false;
    while (!done) {
        switch (gst_iterator_next(it, &item)) {
        case GST_ITERATOR_OK:
            visit(g_value_get_object(&item));
            g_value_reset(&item);
            break;
        case GST_ITERATOR_RESYNC:
            gst_iterator_resync(it);
            break;
        default:
            done = true;
            break;
        }
    }
    g_value_unset(&item);
    gst_iterator_free(it);
}

} // namespace

bool PipelineHasStalled(GstElement* pipeline) {
    if (!pipeline || !GST_IS_BIN(pipeline))
        return false;
    int running = 0;
    int stopped = 0;
    forEach(gst_bin_iterate_recurse(GST_BIN(pipeline)), [&](gpointer element) {
        forEach(gst_element_iterate_pads(GST_ELEMENT(element)), [&](gpointer pad) {
            // Pads without a streaming thread of their own do not count.
            GST_OBJECT_LOCK(pad);
            GstTask* task =
                GST_PAD_TASK(pad) ? GST_TASK(gst_object_ref(GST_PAD_TASK(pad))) : nullptr;
            GST_OBJECT_UNLOCK(pad);
            if (!task)
                return;
            if (gst_task_get_state(task) == GST_TASK_STARTED)
                ++running;
            else
                ++stopped;
            gst_object_unref(task);
        });
    });
    return running == 0 && stopped > 0;
}

} // namespace orvelin::media
