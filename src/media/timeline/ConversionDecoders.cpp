#include "media/timeline/ConversionDecoders.h"

#include <algorithm>
#include <cstring>
#include <thread>

namespace orvelin::media {

namespace {

void onDeepElementAdded(GstBin*, GstBin*, GstElement* element, gpointer) {
    GstElementFactory* factory = gst_element_get_factory(element);
    if (!factory || !g_str_has_prefix(GST_OBJECT_NAME(factory), "avdec_"))
        return;
    const gchar* klass = gst_element_factory_get_metadata(factory, GST_ELEMENT_METADATA_KLASS);
    if (!klass || !std::strstr(klass, "Video"))
        return;
    GObjectClass* type = G_OBJECT_GET_CLASS(element);
    if (g_object_class_find_property(type, "direct-rendering"))
        g_object_set(element, "direct-rendering", FALSE, nullptr);
    if (g_object_class_find_property(type, "max-threads")) {
        const int threads = std::max(1, static_cast<int>(std::thread::hardware_concurrency()) / 2);
        g_object_set(element, "max-threads", threads, nullptr);
    }
}

} // namespace

void TuneConversionDecoders(GstElement* pipeline) {
    if (pipeline && GST_IS_BIN(pipeline))
        g_signal_connect(pipeline, "deep-element-added", G_CALLBACK(onDeepElementAdded), nullptr);
}

} // namespace orvelin::media
