// The editing services (and GIO with them) come before any Qt header.
#include <ges/ges.h>

#include "media/timeline/EditingServicesLibrary.h"

#include <dlfcn.h>
#include <mutex>

// The program calls the editing services through the functions below, which
// stand for the library's own and forward to them once it is open. The
// compiler checks each against the library's header.

namespace orvelin::media {

namespace {

void* g_library = nullptr;

} // namespace

bool OpenEditingServicesLibrary(QString* why) {
    static std::once_flag once;
    static QString failure;
    std::call_once(once, [] {
        // Global, as when linked: the embedded Python's modules look for its
        // symbols there.
        g_library = dlopen("libges-1.0.so.0", RTLD_NOW | RTLD_GLOBAL);
        if (!g_library) {
            const char* error = dlerror();
            failure = QString::fromUtf8(error ? error : "libges-1.0.so.0 cannot be opened");
        }
    });
    if (!g_library && why)
        *why = failure;
    return g_library != nullptr;
}

} // namespace orvelin::media

namespace {

void* gesSymbol(const char* name) {
    void* found = orvelin::media::g_library ? dlsym(orvelin::media::g_library, name) : nullptr;
    if (!found)
        g_error("%s is called before the editing services are open, or is missing from them", name);
    return found;
}

} // namespace

#define ORVELIN_GES_FORWARD(ret, name, params, args)                                               \
    extern "C" ret name params {                                                                   \
        static const auto real = reinterpret_cast<decltype(&name)>(gesSymbol(#name));              \
        return real args;                                                                          \
    }

ORVELIN_GES_FORWARD(GESExtractable*, ges_asset_extract, (GESAsset * self, GError** error),
                    (self, error))
ORVELIN_GES_FORWARD(GType, ges_asset_get_type, (void), ())
ORVELIN_GES_FORWARD(GESAsset*, ges_asset_request,
                    (GType extractable_type, const gchar* id, GError** error),
                    (extractable_type, id, error))
ORVELIN_GES_FORWARD(GESAudioTrack*, ges_audio_track_new, (void), ())
ORVELIN_GES_FORWARD(GType, ges_clip_get_type, (void), ())
ORVELIN_GES_FORWARD(void, ges_clip_set_supported_formats,
                    (GESClip * clip, GESTrackType supportedformats), (clip, supportedformats))
ORVELIN_GES_FORWARD(gboolean, ges_container_add,
                    (GESContainer * container, GESTimelineElement* child), (container, child))
ORVELIN_GES_FORWARD(GList*, ges_container_get_children,
                    (GESContainer * container, gboolean recursive), (container, recursive))
ORVELIN_GES_FORWARD(GType, ges_container_get_type, (void), ())
ORVELIN_GES_FORWARD(GESEffect*, ges_effect_new, (const gchar* bin_description), (bin_description))
ORVELIN_GES_FORWARD(GESAsset*, ges_extractable_get_asset, (GESExtractable * self), (self))
ORVELIN_GES_FORWARD(GType, ges_extractable_get_type, (void), ())
ORVELIN_GES_FORWARD(gboolean, ges_init, (void), ())
ORVELIN_GES_FORWARD(gboolean, ges_layer_add_clip, (GESLayer * layer, GESClip* clip), (layer, clip))
ORVELIN_GES_FORWARD(GList*, ges_layer_get_clips, (GESLayer * layer), (layer))
ORVELIN_GES_FORWARD(GType, ges_layer_get_type, (void), ())
ORVELIN_GES_FORWARD(GType, ges_source_get_type, (void), ())
ORVELIN_GES_FORWARD(GType, ges_test_clip_get_type, (void), ())
ORVELIN_GES_FORWARD(void, ges_test_clip_set_mute, (GESTestClip * self, gboolean mute), (self, mute))
ORVELIN_GES_FORWARD(void, ges_test_clip_set_vpattern,
                    (GESTestClip * self, GESVideoTestPattern vpattern), (self, vpattern))
ORVELIN_GES_FORWARD(gboolean, ges_timeline_add_track, (GESTimeline * timeline, GESTrack* track),
                    (timeline, track))
ORVELIN_GES_FORWARD(GESLayer*, ges_timeline_append_layer, (GESTimeline * timeline), (timeline))
ORVELIN_GES_FORWARD(gboolean, ges_timeline_commit_sync, (GESTimeline * timeline), (timeline))
ORVELIN_GES_FORWARD(GstClockTime, ges_timeline_element_get_duration, (GESTimelineElement * self),
                    (self))
ORVELIN_GES_FORWARD(GstClockTime, ges_timeline_element_get_start, (GESTimelineElement * self),
                    (self))
ORVELIN_GES_FORWARD(GType, ges_timeline_element_get_type, (void), ())
ORVELIN_GES_FORWARD(gboolean, ges_timeline_element_set_child_property,
                    (GESTimelineElement * self, const gchar* property_name, const GValue* value),
                    (self, property_name, value))
ORVELIN_GES_FORWARD(gboolean, ges_timeline_element_set_duration,
                    (GESTimelineElement * self, GstClockTime duration), (self, duration))
ORVELIN_GES_FORWARD(gboolean, ges_timeline_element_set_inpoint,
                    (GESTimelineElement * self, GstClockTime inpoint), (self, inpoint))
ORVELIN_GES_FORWARD(gboolean, ges_timeline_element_set_max_duration,
                    (GESTimelineElement * self, GstClockTime maxduration), (self, maxduration))
ORVELIN_GES_FORWARD(gboolean, ges_timeline_element_set_start,
                    (GESTimelineElement * self, GstClockTime start), (self, start))
ORVELIN_GES_FORWARD(GstClockTime, ges_timeline_get_duration, (GESTimeline * timeline), (timeline))
ORVELIN_GES_FORWARD(GList*, ges_timeline_get_layers, (GESTimeline * timeline), (timeline))
ORVELIN_GES_FORWARD(GstPad*, ges_timeline_get_pad_for_track,
                    (GESTimeline * timeline, GESTrack* track), (timeline, track))
ORVELIN_GES_FORWARD(GType, ges_timeline_get_type, (void), ())
ORVELIN_GES_FORWARD(GESTimeline*, ges_timeline_new, (void), ())
ORVELIN_GES_FORWARD(GstElement*, ges_track_element_get_nleobject, (GESTrackElement * object),
                    (object))
ORVELIN_GES_FORWARD(GESTrack*, ges_track_element_get_track, (GESTrackElement * object), (object))
ORVELIN_GES_FORWARD(GESTrackType, ges_track_element_get_track_type, (GESTrackElement * object),
                    (object))
ORVELIN_GES_FORWARD(GType, ges_track_element_get_type, (void), ())
ORVELIN_GES_FORWARD(void, ges_track_element_set_auto_clamp_control_sources,
                    (GESTrackElement * object, gboolean auto_clamp), (object, auto_clamp))
ORVELIN_GES_FORWARD(gboolean, ges_track_element_set_control_source,
                    (GESTrackElement * object, GstControlSource* source, const gchar* property_name,
                     const gchar* binding_type),
                    (object, source, property_name, binding_type))
ORVELIN_GES_FORWARD(GType, ges_track_get_type, (void), ())
ORVELIN_GES_FORWARD(void, ges_track_set_restriction_caps, (GESTrack * track, const GstCaps* caps),
                    (track, caps))
ORVELIN_GES_FORWARD(GstDiscovererInfo*, ges_uri_clip_asset_get_info, (const GESUriClipAsset* self),
                    (self))
ORVELIN_GES_FORWARD(GstClockTime, ges_uri_clip_asset_get_max_duration, (GESUriClipAsset * self),
                    (self))
ORVELIN_GES_FORWARD(GESUriClipAsset*, ges_uri_clip_asset_request_sync,
                    (const gchar* uri, GError** error), (uri, error))
ORVELIN_GES_FORWARD(GType, ges_uri_clip_get_type, (void), ())
ORVELIN_GES_FORWARD(const gchar*, ges_uri_clip_get_uri, (GESUriClip * self), (self))
ORVELIN_GES_FORWARD(gboolean, ges_uri_clip_is_image, (GESUriClip * self), (self))
ORVELIN_GES_FORWARD(GstDiscovererStreamInfo*, ges_uri_source_asset_get_stream_info,
                    (GESUriSourceAsset * asset), (asset))
ORVELIN_GES_FORWARD(GType, ges_uri_source_asset_get_type, (void), ())
ORVELIN_GES_FORWARD(GESVideoTrack*, ges_video_track_new, (void), ())
