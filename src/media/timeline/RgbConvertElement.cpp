#include "media/timeline/RgbConvertElement.h"

#include <gst/video/gstvideofilter.h>
#include <gst/video/video.h>

#include "media/timeline/RgbConversion.h"

#include <mutex>

namespace orvelin::media {

namespace {

struct RgbConvert {
    GstVideoFilter parent;
    // Made in set_info and used by the streaming thread only.
    RgbConversion* conversion;
    gboolean toRgb;
    // The colorimetry of the 4:2:0 pictures made from RGB ("bt709", ...);
    // null for the one GStreamer assumes for their size.
    gchar* colorimetry;
};

struct RgbConvertClass {
    GstVideoFilterClass parent;
};

#define ORVELIN_RGB_CONVERT(obj) (reinterpret_cast<RgbConvert*>(obj))

enum { PROP_0, PROP_COLORIMETRY };

G_DEFINE_TYPE(RgbConvert, rgb_convert, GST_TYPE_VIDEO_FILTER)

constexpr const char* kCapsText = "video/x-raw, format=(string){ I420, RGB }, "
                                  "width=(int)[1, 2147483647], height=(int)[1, 2147483647], "
                                  "framerate=(fraction)[0/1, 2147483647/1]";

GstStaticPadTemplate sinkTemplate =
    GST_STATIC_PAD_TEMPLATE("sink", GST_PAD_SINK, GST_PAD_ALWAYS, GST_STATIC_CAPS(kCapsText));
GstStaticPadTemplate srcTemplate =
    GST_STATIC_PAD_TEMPLATE("src", GST_PAD_SRC, GST_PAD_ALWAYS, GST_STATIC_CAPS(kCapsText));

// The other side of a structure: I420 becomes RGB and RGB I420; the
// colorimetry and chroma siting of one side say nothing of the other's.
GstCaps* rgbConvertTransformCaps(GstBaseTransform* trans, GstPadDirection direction, GstCaps* caps,
                                 GstCaps* filter) {
    GstCaps* out = gst_caps_new_empty();
    for (guint i = 0; i < gst_caps_get_size(caps); ++i) {
        const GstStructure* s = gst_caps_get_structure(caps, i);
        const gchar* format = gst_structure_get_string(s, "format");
        GstStructure* other = gst_structure_copy(s);
        gst_structure_remove_fields(other, "format", "colorimetry", "chroma-site", nullptr);
        if (g_strcmp0(format, "I420") == 0) {
            gst_structure_set(other, "format", G_TYPE_STRING, "RGB", nullptr);
        } else if (g_strcmp0(format, "RGB") == 0) {
            gst_structure_set(other, "format", G_TYPE_STRING, "I420", nullptr);
            // Caps without a colorimetry count as settled and would be
            // taken as they are, whatever colorimetry downstream asks for:
            // the one wanted is named beforehand.
            GST_OBJECT_LOCK(trans);
            if (const gchar* wanted = ORVELIN_RGB_CONVERT(trans)->colorimetry)
                gst_structure_set(other, "colorimetry", G_TYPE_STRING, wanted, nullptr);
            GST_OBJECT_UNLOCK(trans);
        } else {
            GValue list = G_VALUE_INIT;
            GValue item = G_VALUE_INIT;
            gst_value_list_init(&list, 2);
            g_value_init(&item, G_TYPE_STRING);
            for (const char* name : {"I420", "RGB"}) {
                g_value_set_string(&item, name);
                gst_value_list_append_value(&list, &item);
            }
            g_value_unset(&item);
            gst_structure_take_value(other, "format", &list);
        }
        out = gst_caps_merge_structure(out, other);
    }
    GstPad* otherPad = direction == GST_PAD_SINK ? GST_BASE_TRANSFORM_SRC_PAD(trans)
                                                 : GST_BASE_TRANSFORM_SINK_PAD(trans);
    GstCaps* templ = gst_pad_get_pad_template_caps(otherPad);
    GstCaps* fitting = gst_caps_intersect(out, templ);
    gst_caps_unref(templ);
    gst_caps_unref(out);
    if (filter) {
        GstCaps* filtered = gst_caps_intersect_full(filter, fitting, GST_CAPS_INTERSECT_FIRST);
        gst_caps_unref(fitting);
        fitting = filtered;
    }
    return fitting;
}

gboolean rgbConvertSetInfo(GstVideoFilter* filter, GstCaps*, GstVideoInfo* in, GstCaps*,
                           GstVideoInfo* out) {
    RgbConvert* self = ORVELIN_RGB_CONVERT(filter);
    const GstVideoFormat from = GST_VIDEO_INFO_FORMAT(in);
    const GstVideoFormat to = GST_VIDEO_INFO_FORMAT(out);
    const bool toRgb = from == GST_VIDEO_FORMAT_I420 && to == GST_VIDEO_FORMAT_RGB;
    const bool toI420 = from == GST_VIDEO_FORMAT_RGB && to == GST_VIDEO_FORMAT_I420;
    if ((!toRgb && !toI420) || GST_VIDEO_INFO_WIDTH(in) != GST_VIDEO_INFO_WIDTH(out) ||
        GST_VIDEO_INFO_HEIGHT(in) != GST_VIDEO_INFO_HEIGHT(out))
        return FALSE;
    const GstVideoColorimetry& colorimetry = toRgb ? in->colorimetry : out->colorimetry;
    gdouble kr = 0.299;
    gdouble kb = 0.114;
    if (!gst_video_color_matrix_get_Kr_Kb(colorimetry.matrix, &kr, &kb)) {
        kr = 0.299; // an unnamed matrix is taken as BT.601, as videoconvert does
        kb = 0.114;
    }
    delete self->conversion;
    self->conversion = new RgbConversion(kr, kb, colorimetry.range == GST_VIDEO_COLOR_RANGE_0_255);
    self->toRgb = toRgb;
    return TRUE;
}

GstFlowReturn rgbConvertTransformFrame(GstVideoFilter* filter, GstVideoFrame* in,
                                       GstVideoFrame* out) {
    RgbConvert* self = ORVELIN_RGB_CONVERT(filter);
    if (!self->conversion)
        return GST_FLOW_NOT_NEGOTIATED;
    GstVideoFrame* yuvFrame = self->toRgb ? in : out;
    GstVideoFrame* rgbFrame = self->toRgb ? out : in;
    YuvPlanes yuv;
    yuv.y = static_cast<uint8_t*>(GST_VIDEO_FRAME_PLANE_DATA(yuvFrame, 0));
    yuv.yStride = GST_VIDEO_FRAME_PLANE_STRIDE(yuvFrame, 0);
    yuv.u = static_cast<uint8_t*>(GST_VIDEO_FRAME_PLANE_DATA(yuvFrame, 1));
    yuv.uStride = GST_VIDEO_FRAME_PLANE_STRIDE(yuvFrame, 1);
    yuv.v = static_cast<uint8_t*>(GST_VIDEO_FRAME_PLANE_DATA(yuvFrame, 2));
    yuv.vStride = GST_VIDEO_FRAME_PLANE_STRIDE(yuvFrame, 2);
    auto* rgb = static_cast<uint8_t*>(GST_VIDEO_FRAME_PLANE_DATA(rgbFrame, 0));
    const int rgbStride = GST_VIDEO_FRAME_PLANE_STRIDE(rgbFrame, 0);
    const int width = GST_VIDEO_FRAME_WIDTH(out);
    const int height = GST_VIDEO_FRAME_HEIGHT(out);
    if (self->toRgb)
        self->conversion->ToRgb(yuv, rgb, rgbStride, width, height);
    else
        self->conversion->ToI420(rgb, rgbStride, yuv, width, height);
    return GST_FLOW_OK;
}

void rgbConvertFinalize(GObject* object) {
    RgbConvert* self = ORVELIN_RGB_CONVERT(object);
    delete self->conversion;
    self->conversion = nullptr;
    g_free(self->colorimetry);
    self->colorimetry = nullptr;
    G_OBJECT_CLASS(rgb_convert_parent_class)->finalize(object);
}

void rgbConvertSetProperty(GObject* object, guint id, const GValue* value, GParamSpec* param) {
    RgbConvert* self = ORVELIN_RGB_CONVERT(object);
    if (id != PROP_COLORIMETRY) {
        G_OBJECT_WARN_INVALID_PROPERTY_ID(object, id, param);
        return;
    }
    GST_OBJECT_LOCK(self);
    g_free(self->colorimetry);
    self->colorimetry = g_value_dup_string(value);
    GST_OBJECT_UNLOCK(self);
    gst_base_transform_reconfigure_src(GST_BASE_TRANSFORM(self));
}

void rgbConvertGetProperty(GObject* object, guint id, GValue* value, GParamSpec* param) {
    RgbConvert* self = ORVELIN_RGB_CONVERT(object);
    if (id != PROP_COLORIMETRY) {
        G_OBJECT_WARN_INVALID_PROPERTY_ID(object, id, param);
        return;
    }
    GST_OBJECT_LOCK(self);
    g_value_set_string(value, self->colorimetry);
    GST_OBJECT_UNLOCK(self);
}

void rgb_convert_class_init(RgbConvertClass* klass) {
    auto* object = G_OBJECT_CLASS(klass);
    object->finalize = rgbConvertFinalize;
    object->set_property = rgbConvertSetProperty;
    object->get_property = rgbConvertGetProperty;
    g_object_class_install_property(
        object, PROP_COLORIMETRY,
        g_param_spec_string("colorimetry", "Colorimetry",
                            "Colorimetry of the 4:2:0 pictures made from RGB", nullptr,
                            static_cast<GParamFlags>(G_PARAM_READWRITE | G_PARAM_STATIC_STRINGS)));
    auto* element = GST_ELEMENT_CLASS(klass);
    gst_element_class_add_static_pad_template(element, &sinkTemplate);
    gst_element_class_add_static_pad_template(element, &srcTemplate);
    gst_element_class_set_static_metadata(
        element, "Orvelin RGB converter", "Filter/Converter/Video",
        "Converts 4:2:0 pictures to 24-bit RGB and back", "Orvelin");
    auto* transform = GST_BASE_TRANSFORM_CLASS(klass);
    transform->transform_caps = rgbConvertTransformCaps;
    transform->passthrough_on_same_caps = FALSE;
    auto* video = GST_VIDEO_FILTER_CLASS(klass);
    video->set_info = rgbConvertSetInfo;
    video->transform_frame = rgbConvertTransformFrame;
}

void rgb_convert_init(RgbConvert* self) {
    self->conversion = nullptr;
    self->toRgb = TRUE;
    self->colorimetry = nullptr;
}

} // namespace

bool RegisterRgbConvertElement() {
    static std::once_flag once;
    static bool registered = false;
    std::call_once(once, [] {
        registered = gst_element_register(nullptr, kRgbConvertFactory, GST_RANK_NONE,
                                          rgb_convert_get_type());
    });
    return registered;
}

} // namespace orvelin::media
