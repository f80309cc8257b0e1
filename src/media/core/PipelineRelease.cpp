#include "media/PipelineRelease.h"

#include <gst/gst.h>

#include <malloc.h>

#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>

namespace orvelin::media {

namespace {

std::mutex g_mutex;
std::condition_variable g_changed;
int g_releasing = 0;

struct Release {
    std::mutex mutex;
    std::condition_variable done;
    bool finished = false;
};

} // namespace

void ReleasePipeline(GstElement* pipeline, std::chrono::milliseconds waitAtMost) {
    if (!pipeline)
        return;
    auto release = std::make_shared<Release>();
    {
        std::lock_guard lock(g_mutex);
        ++g_releasing;
    }
    std::thread([pipeline, release] {
        gst_element_set_state(pipeline, GST_STATE_NULL);
        gst_object_unref(pipeline);
        {
            std::lock_guard lock(release->mutex);
            release->finished = true;
        }
        release->done.notify_all();
        bool last = false;
        {
            std::lock_guard lock(g_mutex);
            last = --g_releasing == 0;
        }
        if (last)
            TrimFreedMemory();
        g_changed.notify_all();
    }).detach();
    std::unique_lock lock(release->mutex);
    release->done.wait_for(lock, waitAtMost, [&] { return release->finished; });
}

void TrimFreedMemory() {
    malloc_trim(0);
}

int PipelinesBeingReleased() {
    std::lock_guard lock(g_mutex);
    return g_releasing;
}

bool WaitForPipelineReleases(std::chrono::milliseconds timeout) {
    std::unique_lock lock(g_mutex);
    return g_changed.wait_for(lock, timeout, [] { return g_releasing == 0; });
}

} // namespace orvelin::media
