#pragma once

typedef struct _GstElement GstElement;

namespace orvelin::media {

// True when no streaming thread of `pipeline` (at any depth) is running any
// more: every task has stopped or paused, so nothing will move the pipeline
// again. A demultiplexer that gives up on a damaged file can stop this way
// without its error ever reaching the bus (the decoding bin swallows errors
// of elements it is still trying out).
bool PipelineHasStalled(GstElement* pipeline);

} // namespace orvelin::media
