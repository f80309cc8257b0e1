// The conversion between the composed 4:2:0 pictures and the video group's
// RGB: textbook colours for each matrix and range, a picture that survives
// the trip to RGB and back, odd sizes and padded rows, and the element in
// a running pipeline next to videoconvert.
#include "media/timeline/RgbConversion.h"
#include "media/timeline/RgbConvertElement.h"

#include <gst/gst.h>
#include <gst/video/video.h>
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

using orvelin::media::RgbConversion;
using orvelin::media::YuvPlanes;

namespace {

struct Matrix {
    const char* name;
    double kr, kb;
    bool full;
};
constexpr Matrix kBt601{"BT.601", 0.299, 0.114, false};
constexpr Matrix kBt709{"BT.709", 0.2126, 0.0722, false};
constexpr Matrix kBt709Full{"BT.709 full range", 0.2126, 0.0722, true};

// An I420 picture with rows padded past the width, as GStreamer lays them out.
struct I420Picture {
    int width, height;
    std::vector<uint8_t> y, u, v;
    int yStride, cStride;
    I420Picture(int w, int h) : width(w), height(h), yStride(w + 7), cStride((w + 1) / 2 + 5) {
        y.assign(static_cast<size_t>(yStride) * h, 0xAB);
        u.assign(static_cast<size_t>(cStride) * ((h + 1) / 2), 0xAB);
        v = u;
    }
    YuvPlanes Planes() {
        return YuvPlanes{y.data(), yStride, u.data(), cStride, v.data(), cStride};
    }
    uint8_t& Y(int x, int row) { return y[static_cast<size_t>(row) * yStride + x]; }
    uint8_t& U(int x, int row) { return u[static_cast<size_t>(row / 2) * cStride + x / 2]; }
    uint8_t& V(int x, int row) { return v[static_cast<size_t>(row / 2) * cStride + x / 2]; }
};

struct RgbPicture {
    int width, height, stride;
    std::vector<uint8_t> data;
    RgbPicture(int w, int h) : width(w), height(h), stride(w * 3 + 5) {
        data.assign(static_cast<size_t>(stride) * h, 0xCD);
    }
    uint8_t* At(int x, int row) { return &data[static_cast<size_t>(row) * stride + 3 * x]; }
};

// The textbook value: what the matrix gives before rounding.
std::array<double, 3> exactYuv(const Matrix& m, double r, double g, double b) {
    const double kg = 1 - m.kr - m.kb;
    const double luma = (m.kr * r + kg * g + m.kb * b) / 255.0;
    const double cb = (b / 255.0 - luma) / (2 * (1 - m.kb));
    const double cr = (r / 255.0 - luma) / (2 * (1 - m.kr));
    if (m.full)
        return {255 * luma, 128 + 255 * cb, 128 + 255 * cr};
    return {16 + 219 * luma, 128 + 224 * cb, 128 + 224 * cr};
}

} // namespace

TEST(RgbConversion, PureColoursGetTheirTextbookValuesUnderEachMatrix) {
    const std::array<std::array<int, 3>, 8> colours{{{0, 0, 0},
                                                     {255, 255, 255},
                                                     {255, 0, 0},
                                                     {0, 255, 0},
                                                     {0, 0, 255},
                                                     {191, 191, 0},
                                                     {0, 191, 191},
                                                     {128, 64, 200}}};
    for (const Matrix& m : {kBt601, kBt709, kBt709Full}) {
        RgbConversion conversion(m.kr, m.kb, m.full);
        for (const auto& c : colours) {
            RgbPicture rgb(2, 2);
            for (int row = 0; row < 2; ++row)
                for (int x = 0; x < 2; ++x)
                    std::copy(c.begin(), c.end(), rgb.At(x, row));
            I420Picture yuv(2, 2);
            conversion.ToI420(rgb.data.data(), rgb.stride, yuv.Planes(), 2, 2);
            const auto want = exactYuv(m, c[0], c[1], c[2]);
            SCOPED_TRACE(std::string(m.name) + " colour " + std::to_string(c[0]) + "," +
                         std::to_string(c[1]) + "," + std::to_string(c[2]));
            EXPECT_NEAR(yuv.Y(1, 1), want[0], 0.51);
            EXPECT_NEAR(yuv.U(0, 0), want[1], 0.51);
            EXPECT_NEAR(yuv.V(0, 0), want[2], 0.51);

            RgbPicture back(2, 2);
            conversion.ToRgb(yuv.Planes(), back.data.data(), back.stride, 2, 2);
            for (int i = 0; i < 3; ++i)
                EXPECT_NEAR(back.At(1, 1)[i], c[i], 1) << "channel " << i;
        }
    }
}

TEST(RgbConversion, APictureComesBackFromRgbUnchanged) {
    // A picture as a camera gives it: smooth colour over fine luma detail,
    // inside the colours RGB can show.
    const int w = 181, h = 67; // odd, and not a multiple of the 16-pixel blocks
    RgbPicture source(w, h);
    std::mt19937 random(7);
    std::uniform_int_distribution<int> noise(-12, 12);
    for (int row = 0; row < h; ++row)
        for (int x = 0; x < w; ++x) {
            uint8_t* p = source.At(x, row);
            p[0] = static_cast<uint8_t>(std::clamp(40 + x + noise(random), 0, 255));
            p[1] = static_cast<uint8_t>(std::clamp(60 + 2 * row + noise(random), 0, 255));
            p[2] = static_cast<uint8_t>(std::clamp(200 - x / 2 + noise(random), 0, 255));
        }
    for (const Matrix& m : {kBt601, kBt709, kBt709Full}) {
        SCOPED_TRACE(m.name);
        RgbConversion conversion(m.kr, m.kb, m.full);
        I420Picture first(w, h);
        conversion.ToI420(source.data.data(), source.stride, first.Planes(), w, h);
        RgbPicture rgb(w, h);
        conversion.ToRgb(first.Planes(), rgb.data.data(), rgb.stride, w, h);
        I420Picture second(w, h);
        conversion.ToI420(rgb.data.data(), rgb.stride, second.Planes(), w, h);

        int worstLuma = 0;
        int worstChroma = 0;
        for (int row = 0; row < h; ++row)
            for (int x = 0; x < w; ++x) {
                worstLuma = std::max(worstLuma, std::abs(first.Y(x, row) - second.Y(x, row)));
                worstChroma = std::max({worstChroma, std::abs(first.U(x, row) - second.U(x, row)),
                                        std::abs(first.V(x, row) - second.V(x, row))});
            }
        EXPECT_LE(worstLuma, 1);
        EXPECT_LE(worstChroma, 1);
    }
}

TEST(RgbConversion, OddSizesFillTheirLastRowAndColumnAndLeaveThePaddingAlone) {
    RgbConversion conversion(kBt709.kr, kBt709.kb, false);
    for (const auto& [w, h] : std::vector<std::pair<int, int>>{{1, 1}, {5, 3}, {33, 17}}) {
        SCOPED_TRACE(std::to_string(w) + "x" + std::to_string(h));
        RgbPicture rgb(w, h);
        for (int row = 0; row < h; ++row)
            for (int x = 0; x < w; ++x) {
                uint8_t* p = rgb.At(x, row);
                p[0] = 30, p[1] = 160, p[2] = 90;
            }
        I420Picture yuv(w, h);
        conversion.ToI420(rgb.data.data(), rgb.stride, yuv.Planes(), w, h);
        const auto want = exactYuv(kBt709, 30, 160, 90);
        EXPECT_NEAR(yuv.Y(w - 1, h - 1), want[0], 0.51);
        EXPECT_NEAR(yuv.U(w - 1, h - 1), want[1], 0.51);
        EXPECT_NEAR(yuv.V(w - 1, h - 1), want[2], 0.51);
        EXPECT_EQ(yuv.y[static_cast<size_t>(yuv.yStride) * (h - 1) + w], 0xAB);
        EXPECT_EQ(yuv.u[static_cast<size_t>(yuv.cStride) * ((h - 1) / 2) + (w + 1) / 2], 0xAB);

        RgbPicture back(w, h);
        conversion.ToRgb(yuv.Planes(), back.data.data(), back.stride, w, h);
        EXPECT_NEAR(back.At(w - 1, h - 1)[1], 160, 1);
        EXPECT_EQ(back.data[static_cast<size_t>(back.stride) * (h - 1) + 3 * w], 0xCD);
    }
}

TEST(RgbConversion, VectorBlocksGiveTheRowLoopsResultsToTheBit) {
    // Any bytes at all, colours outside RGB included, at widths on both
    // sides of the 16-pixel blocks.
    std::mt19937 random(11);
    std::uniform_int_distribution<int> byte(0, 255);
    for (const Matrix& m : {kBt601, kBt709, kBt709Full}) {
        RgbConversion blocks(m.kr, m.kb, m.full, true);
        RgbConversion loops(m.kr, m.kb, m.full, false);
        for (int w : {1, 2, 15, 16, 17, 31, 32, 33, 47, 64, 70, 333, 1920}) {
            for (int h : {1, 2, 3, 5}) {
                SCOPED_TRACE(std::string(m.name) + " " + std::to_string(w) + "x" +
                             std::to_string(h));
                I420Picture yuv(w, h);
                for (auto* plane : {&yuv.y, &yuv.u, &yuv.v})
                    for (uint8_t& b : *plane)
                        b = static_cast<uint8_t>(byte(random));
                RgbPicture one(w, h);
                RgbPicture two(w, h);
                blocks.ToRgb(yuv.Planes(), one.data.data(), one.stride, w, h);
                loops.ToRgb(yuv.Planes(), two.data.data(), two.stride, w, h);
                EXPECT_EQ(one.data, two.data);

                I420Picture back1(w, h);
                I420Picture back2(w, h);
                blocks.ToI420(one.data.data(), one.stride, back1.Planes(), w, h);
                loops.ToI420(one.data.data(), one.stride, back2.Planes(), w, h);
                EXPECT_EQ(back1.y, back2.y);
                EXPECT_EQ(back1.u, back2.u);
                EXPECT_EQ(back1.v, back2.v);
            }
        }
    }
}

namespace {

// Runs `description` (ending in an appsink named "out") and returns the
// first picture it gives as I420 planes of `w` x `h`, empty on failure.
std::vector<uint8_t> firstPicture(const std::string& description) {
    GError* error = nullptr;
    GstElement* pipeline = gst_parse_launch(description.c_str(), &error);
    if (!pipeline) {
        ADD_FAILURE() << (error ? error->message : "no pipeline") << ": " << description;
        if (error)
            g_error_free(error);
        return {};
    }
    GstElement* sink = gst_bin_get_by_name(GST_BIN(pipeline), "out");
    gst_element_set_state(pipeline, GST_STATE_PLAYING);
    GstSample* sample = nullptr;
    g_signal_emit_by_name(sink, "try-pull-sample", GST_SECOND * 20, &sample);
    std::vector<uint8_t> bytes;
    if (sample) {
        GstVideoInfo info;
        GstVideoFrame frame;
        if (gst_video_info_from_caps(&info, gst_sample_get_caps(sample)) &&
            gst_video_frame_map(&frame, &info, gst_sample_get_buffer(sample), GST_MAP_READ)) {
            for (guint plane = 0; plane < GST_VIDEO_FRAME_N_PLANES(&frame); ++plane) {
                const auto* data =
                    static_cast<const uint8_t*>(GST_VIDEO_FRAME_PLANE_DATA(&frame, plane));
                const int stride = GST_VIDEO_FRAME_PLANE_STRIDE(&frame, plane);
                const int rows = GST_VIDEO_FRAME_COMP_HEIGHT(&frame, plane);
                const int bytesPerRow = GST_VIDEO_FRAME_COMP_WIDTH(&frame, plane) *
                                        GST_VIDEO_FRAME_COMP_PSTRIDE(&frame, plane);
                for (int row = 0; row < rows; ++row)
                    bytes.insert(bytes.end(), data + row * stride,
                                 data + row * stride + bytesPerRow);
            }
            gst_video_frame_unmap(&frame);
        }
        gst_sample_unref(sample);
    } else {
        ADD_FAILURE() << "no picture from " << description;
    }
    gst_object_unref(sink);
    gst_element_set_state(pipeline, GST_STATE_NULL);
    gst_object_unref(pipeline);
    return bytes;
}

double lumaPsnr(const std::vector<uint8_t>& a, const std::vector<uint8_t>& b, size_t lumaBytes) {
    double sum = 0;
    for (size_t i = 0; i < lumaBytes; ++i) {
        const double d = double(a[i]) - double(b[i]);
        sum += d * d;
    }
    const double mse = sum / static_cast<double>(lumaBytes);
    return mse == 0 ? 99.0 : 10 * std::log10(255.0 * 255.0 / mse);
}

} // namespace

TEST(RgbConvertElement, RunsBothWaysInAPipelineAndKeepsThePicture) {
    ASSERT_TRUE(orvelin::media::RegisterRgbConvertElement());
    const int w = 321, h = 181;
    for (const char* colorimetry : {"bt601", "bt709", "1:3:5:1"}) {
        SCOPED_TRACE(colorimetry);
        const std::string source = "videotestsrc pattern=smpte75 num-buffers=1 ! video/x-raw,"
                                   "format=I420,width=" +
                                   std::to_string(w) + ",height=" + std::to_string(h) +
                                   ",colorimetry=" + colorimetry + " ! ";
        const std::string i420 = std::string("video/x-raw,format=I420,colorimetry=") + colorimetry;
        const auto original = firstPicture(source + "appsink name=out");
        const auto ours = firstPicture(source +
                                       "orvelinrgbconvert ! video/x-raw,format=RGB ! "
                                       "orvelinrgbconvert colorimetry=" +
                                       colorimetry + " ! " + i420 + " ! appsink name=out");
        ASSERT_EQ(original.size(), ours.size());
        ASSERT_FALSE(original.empty());
        EXPECT_GT(lumaPsnr(original, ours, static_cast<size_t>(w) * h), 48.0);

        // Its RGB is videoconvert's RGB, up to how the two spread chroma.
        const auto theirs = firstPicture(source + "videoconvert ! video/x-raw,format=RGB ! "
                                                  "appsink name=out");
        const auto mine =
            firstPicture(source + "orvelinrgbconvert ! video/x-raw,format=RGB ! appsink name=out");
        ASSERT_EQ(theirs.size(), mine.size());
        double total = 0;
        for (size_t i = 0; i < mine.size(); ++i)
            total += std::abs(int(mine[i]) - int(theirs[i]));
        EXPECT_LT(total / static_cast<double>(mine.size()), 3.0);
    }
}
