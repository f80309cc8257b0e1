#pragma once

#include <chrono>

typedef struct _GstElement GstElement;

namespace orvelin::media {

// Sets `pipeline` to NULL and drops the caller's reference on a thread of its
// own, waiting at most `waitAtMost` for that to finish. A pipeline whose
// streaming thread is stuck (a read that never returns) can block its state
// change for ever; the caller then goes on and the release completes, or
// not, in the background.
void ReleasePipeline(GstElement* pipeline, std::chrono::milliseconds waitAtMost);

// Gives the memory that finished pipelines freed back to the system. Every
// streaming thread allocates from a pool of its own, and the pools keep
// what they once held: without this the program would grow with each file
// opened or converted until every pool had held a whole pipeline.
void TrimFreedMemory();

// Pipelines still being released in the background.
int PipelinesBeingReleased();
// Waits until every background release has finished or the time runs out;
// answers whether all have finished (for an orderly end of the process).
bool WaitForPipelineReleases(std::chrono::milliseconds timeout);

} // namespace orvelin::media
