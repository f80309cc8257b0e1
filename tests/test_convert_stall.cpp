// A conversion through which nothing passes any more ends by itself: the
// user is told which file could not be read on, the partial output is
// removed and the controls come back, instead of a run that never ends.
#include "convert/ConversionController.h"
#include "media/encoders/FilterGraphImpl.h"
#include "support/ConvertJob.h"
#include "support/ConvertTestHost.h"
#include "support/TestEnv.h"

#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <gst/gst.h>
#include <gtest/gtest.h>

using namespace orvelin;
using namespace orvelin::test;
using namespace std::chrono_literals;

namespace {

// Holds whatever reaches the pad until the pad is shut down.
GstPadProbeReturn holdData(GstPad*, GstPadProbeInfo*, gpointer) {
    return GST_PAD_PROBE_OK;
}

} // namespace

TEST(ConvertStall, ConversionThatStopsMovingEndsWithAMessageAndNoFile) {
    Sources& s = Sources::Get();
    // Long enough that the conversion is still running when it is held.
    const QString source =
        s.Make("long.mkv", "videotestsrc num-buffers=1500 ! video/x-raw,width=160,height=120,"
                           "framerate=25/1 ! x264enc speed-preset=ultrafast ! queue ! matroskamux "
                           "name=mux ! filesink location=@OUT@ " +
                               Sources::Tone(60.0, "vorbisenc") + "! mux. ");
    ASSERT_FALSE(source.isEmpty());
    Job job(source, kContainerMkv, "held.mkv");
    ASSERT_TRUE(job.opened);
    job.UseCompressors("x264enc", "vorbisenc");

    job.controller.OnConvertClicked();
    ASSERT_TRUE(job.controller.Converting()) << job.env.ui.MessageTexts().join("|").toStdString();
    const std::shared_ptr<media::FilterGraph> graph = job.controller.Job().mediaEvent;
    ASSERT_TRUE(graph);
    graph->SetStallTimeout(1500ms);
    // Every stream leaving the timeline is held where it is.
    for (const media::GraphBranch& branch : graph->impl().branches) {
        if (branch.source)
            gst_pad_add_probe(branch.source, GST_PAD_PROBE_TYPE_BLOCK_DOWNSTREAM, holdData, nullptr,
                              nullptr);
    }

    QElapsedTimer clock;
    clock.start();
    ASSERT_TRUE(WaitFor([&] { return !job.controller.Converting(); }, 20s))
        << "the held conversion never ended";
    EXPECT_LT(clock.elapsed(), 15000);
    const QString said = job.host.status + "|" + job.env.ui.MessageTexts().join("|");
    EXPECT_TRUE(said.contains("The conversion of " + QFileInfo(source).fileName() +
                              " stopped making progress"))
        << said.toStdString();
    EXPECT_FALSE(job.host.status.startsWith("Done. ")) << job.host.status.toStdString();
    EXPECT_FALSE(QFile::exists(job.Output())) << "the partial file is removed";
}
