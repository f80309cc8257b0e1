#!/usr/bin/env bash
# Converts the same job with Orvelin's conversion engine and with the FFmpeg
# command-line tool and prints the ratio of their wall times and their peak
# memory.
#
# The job: a 40 s 1280x720 H.264 + AAC source, trimmed from 5 s to 25 s,
# written at 640x360 and 25 fps with x264 at 800 kbit/s, preset medium, and
# 16-bit PCM sound, into Matroska.
#
# Both sides encode with the same x264 settings: x264enc rate-controls with
# a VBV buffer of 600 ms at the bit rate by default, so ffmpeg gets -maxrate
# and -bufsize to match (the settings strings stored in both files agree).
#
# Needs ffmpeg, GNU time (/usr/bin/time), gst-discoverer-1.0 and the build
# dependencies of the program. Environment:
#   RUNS=3                 runs of each side (the median counts)
#   BENCH_DIR=/tmp/orvelin-bench   work folder (source, outputs, build)
set -euo pipefail

here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
runs="${RUNS:-3}"
work="${BENCH_DIR:-/tmp/orvelin-bench}"
build="$work/build"
mkdir -p "$work"

for tool in ffmpeg /usr/bin/time gst-discoverer-1.0 cmake; do
    command -v "$tool" >/dev/null || { echo "missing: $tool" >&2; exit 1; }
done

echo "== building the engine driver (Release)"
cmake -S "$here" -B "$build" -DCMAKE_BUILD_TYPE=Release >"$work/cmake.log" 2>&1 ||
    { cat "$work/cmake.log"; exit 1; }
cmake --build "$build" --target orvelin_convert_bench -j"$(nproc)" >"$work/build.log" 2>&1 ||
    { tail -40 "$work/build.log"; exit 1; }
driver="$build/orvelin_convert_bench"

source="$work/source-720p-40s.mp4"
if [[ ! -s "$source" ]]; then
    echo "== making the source"
    ffmpeg -nostdin -y -loglevel error \
        -f lavfi -i testsrc2=size=1280x720:rate=25 \
        -f lavfi -i sine=frequency=440:sample_rate=44100 \
        -t 40 -c:v libx264 -preset veryfast -b:v 3000k -pix_fmt yuv420p \
        -c:a aac -b:a 128k -ac 2 "$source"
fi

start=5 end=25 width=640 height=360 fps=25 kbps=800 preset=medium

# Runs a command under GNU time with its output in the log named first;
# prints "seconds kilobytes cpu-seconds".
measure() {
    local out="$1"
    shift
    local log="$out.time"
    /usr/bin/time -f "%e %M %U %S" -o "$log" "$@" >"$out" 2>&1 ||
        { cat "$out" >&2; return 1; }
    awk '{ printf "%s %s %.2f\n", $1, $2, $3 + $4 }' "$log"
}

run_orvelin() {
    rm -f "$work/orvelin.mkv"
    measure "$work/orvelin.log" "$driver" "$source" "$work/orvelin.mkv" $start $end $width $height $fps $kbps $preset
    # The driver says how long the conversion itself took (Convert to Done).
    sed -n 's/^orvelin: \([0-9.]*\) s.*/\1/p' "$work/orvelin.log" >>"$work/engine-times"
}

run_ffmpeg() {
    rm -f "$work/ffmpeg.mkv"
    measure "$work/ffmpeg.log" ffmpeg -nostdin -y -loglevel error -ss $start -to $end -i "$source" \
        -vf scale=$width:$height -r $fps \
        -c:v libx264 -preset $preset -b:v ${kbps}k -maxrate ${kbps}k -bufsize $((kbps * 600 / 1000))k \
        -c:a pcm_s16le -ar 44100 -ac 2 "$work/ffmpeg.mkv"
}

median() { sort -n | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }

rm -f "$work/engine-times"
orvelin_times=() ffmpeg_times=() orvelin_mem=() ffmpeg_mem=() orvelin_cpu=() ffmpeg_cpu=()
for ((i = 1; i <= runs; i++)); do
    read -r t m c < <(run_orvelin)
    orvelin_times+=("$t") orvelin_mem+=("$m") orvelin_cpu+=("$c")
    read -r t m c < <(run_ffmpeg)
    ffmpeg_times+=("$t") ffmpeg_mem+=("$m") ffmpeg_cpu+=("$c")
    echo "run $i: orvelin ${orvelin_times[-1]} s (cpu ${orvelin_cpu[-1]} s)," \
        "ffmpeg ${ffmpeg_times[-1]} s (cpu ${ffmpeg_cpu[-1]} s)"
done

check() {
    local file="$1" report
    report="$(gst-discoverer-1.0 "$file")"
    echo "$(basename "$file"): $(grep -m1 -o 'Duration: [0-9:.]*' <<<"$report")," \
        "$(grep -m1 -o 'Width: [0-9]*' <<<"$report") $(grep -m1 -o 'Height: [0-9]*' <<<"$report")," \
        "$(grep -m1 -o 'Frame rate: [0-9/]*' <<<"$report")"
}
check "$work/orvelin.mkv"
check "$work/ffmpeg.mkv"

ot="$(printf '%s\n' "${orvelin_times[@]}" | median)"
ft="$(printf '%s\n' "${ffmpeg_times[@]}" | median)"
oc="$(printf '%s\n' "${orvelin_cpu[@]}" | median)"
fc="$(printf '%s\n' "${ffmpeg_cpu[@]}" | median)"
om="$(printf '%s\n' "${orvelin_mem[@]}" | sort -n | tail -1)"
fm="$(printf '%s\n' "${ffmpeg_mem[@]}" | sort -n | tail -1)"
et="$(median <"$work/engine-times")"
echo "median wall time: orvelin $ot s, ffmpeg $ft s (orvelin from Convert to Done: $et s)"
echo "median cpu time:  orvelin $oc s, ffmpeg $fc s (user + system)"
echo "peak memory:      orvelin $((om / 1024)) MiB, ffmpeg $((fm / 1024)) MiB"
echo "load average:     $(cut -d' ' -f1-3 /proc/loadavg) (other work on the machine skews wall times)"
awk -v o="$oc" -v f="$fc" 'BEGIN { printf "cpu ratio (orvelin / ffmpeg): %.3f\n", o / f }'
awk -v o="$ot" -v f="$ft" 'BEGIN { printf "ratio (orvelin / ffmpeg): %.3f\n", o / f }'
