#!/bin/sh
# Preview playback bench: builds the bench tool, makes two 1080p30 H.264
# clips of 10 s in Matroska (a light one: a moving ball on black, ~1 Mbit/s,
# and a busy one: moving noise at ~8 Mbit/s, the decoder's hard case) unless a
# file is given, and reports for each the time from RenderFile to the first
# frame and whether playback keeps real time (frames shown against dropped).
#
#   bench/preview_realtime.sh [FILE] [SECONDS]
#
# BUILD_DIR (default build-preview-bench beside the sources) holds the tool; WORK_DIR
# (default a temporary folder) holds the generated clips.
set -eu
here=$(cd "$(dirname "$0")" && pwd)
build=${BUILD_DIR:-$here/../build-preview-bench}
work=${WORK_DIR:-$(mktemp -d)}
seconds=${2:-10}

make_clip() { # name pattern bitrate
    clip=$work/$1
    [ -s "$clip" ] && return 0
    echo "making $clip ..."
    gst-launch-1.0 -q -e matroskamux name=mux ! filesink location="$clip" \
        videotestsrc num-buffers=300 pattern="$2" motion=sweep \
        ! video/x-raw,width=1920,height=1080,framerate=30/1,format=I420 \
        ! x264enc speed-preset=superfast bitrate="$3" key-int-max=60 \
        ! h264parse ! queue ! mux. \
        audiotestsrc num-buffers=431 samplesperbuffer=1024 \
        ! audio/x-raw,rate=44100,channels=2 ! audioconvert ! vorbisenc ! queue ! mux.
}

cmake -S "$here/preview_realtime" -B "$build" -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$build" --target preview_realtime -j2 >/dev/null
echo "cpu: $(nproc) cores, $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2 | sed 's/^ //')"
echo "load before: $(cut -d' ' -f1-3 /proc/loadavg)"

if [ $# -ge 1 ] && [ -n "$1" ]; then
    clips=$1
else
    make_clip light-1080p30.mkv ball 1000
    make_clip busy-1080p30.mkv snow 8000
    clips="$work/light-1080p30.mkv $work/busy-1080p30.mkv"
fi
for clip in $clips; do
    echo "---"
    GST_DEBUG=${GST_DEBUG:-0} "$build/preview_realtime" "$clip" "$seconds" 2>/dev/null
done
