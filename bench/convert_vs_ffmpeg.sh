#!/usr/bin/env bash
# Converts three jobs with Orvelin's conversion engine and with the FFmpeg
# command-line tool, side by side in one run, and prints per job the ratios
# of wall time, CPU time and peak memory, the luma PSNR of both outputs
# against the same reference, and whether both wrote the same frames.
#
# The jobs:
#   720p   40 s 1280x720 25 fps H.264 (BT.709) + AAC, trimmed 5-25 s, written at
#          640x360 25 fps with x264 (medium, 800 kbit/s) and 16-bit PCM
#   1080p  30 s 1920x1080 29.97 fps H.264 (BT.709) + AAC, trimmed 5-25 s, written at
#          the same size and rate with x264 (medium, its default 2048 kbit/s)
#   divx   30 s 640x480 25 fps MPEG-4 Part 2 ("DIVX") AVI + MP3, trimmed
#          5-25 s, written at 23.976 fps with the default MPEG-4 Part 2
#          encoder and the default sound (16-bit PCM)
# All outputs are Matroska.
#
# Both sides use the same encoder settings: x264enc rate-controls with a
# VBV buffer of 600 ms at the bit rate by default, so ffmpeg gets -maxrate
# and -bufsize to match; libav's MPEG-4 Part 2 encoder has the same defaults
# on both sides (200 kbit/s, 12-frame GOP, no B-frames).
#
# The reference for PSNR: the source's stretch scaled to the output size and
# rate by ffmpeg (bicubic) and stored losslessly. It follows ffmpeg's own
# rules, so ffmpeg's output matches it more closely than any other tool's
# can: where the rate changes (divx), ffmpeg shows at each output time the
# source frame begun before it and GStreamer the nearest one, and a scaler
# other than ffmpeg's differs from it by a few dB however good it is. "frames" compares the frame
# counts and the first and last frames of the two outputs (PSNR between the
# two sides' first frames and last frames; above 30 dB they show the same
# picture).
#
# Needs ffmpeg/ffprobe, GNU time (/usr/bin/time) and the build dependencies
# of the program. Environment:
#   RUNS=3                 runs of each side per job (the median counts)
#   JOBS="720p 1080p divx" which jobs to run
#   BENCH_DIR=/tmp/orvelin-bench   work folder (sources, outputs, build)
set -euo pipefail

here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
runs="${RUNS:-3}"
jobs="${JOBS:-720p 1080p divx}"
work="${BENCH_DIR:-/tmp/orvelin-bench}"
build="$work/build"
mkdir -p "$work"

for tool in ffmpeg ffprobe /usr/bin/time cmake; do
    command -v "$tool" >/dev/null || {
        echo "missing: $tool (apt-get install -y --no-install-recommends ffmpeg time)" >&2
        exit 1
    }
done

echo "== building the engine driver (Release)"
cmake -S "$here" -B "$build" -DCMAKE_BUILD_TYPE=Release >"$work/cmake.log" 2>&1 ||
    { cat "$work/cmake.log"; exit 1; }
cmake --build "$build" --target orvelin_convert_bench -j"$(nproc)" >"$work/build.log" 2>&1 ||
    { tail -40 "$work/build.log"; exit 1; }
driver="$build/orvelin_convert_bench"

make_source() {
    local file="$1"
    shift
    if [[ ! -s "$file" ]]; then
        echo "== making $(basename "$file")"
        ffmpeg -nostdin -y -loglevel error "$@" "$file.tmp.${file##*.}"
        mv "$file.tmp.${file##*.}" "$file"
    fi
}

# HD sources are made as HD cameras and encoders make them: colours
# converted with the BT.709 matrix and tagged so. (Untagged, ffmpeg would
# store BT.601 values, which GStreamer reads as BT.709 at HD sizes; the
# saturated test colours then lie outside RGB and any RGB stage clips them.)
hd_colours=(-vf scale=out_color_matrix=bt709:out_range=tv,format=yuv420p -colorspace bt709
    -color_primaries bt709 -color_trc bt709 -color_range tv)

# Per job: source, start, end, width, height, fps, Orvelin's encoder and
# settings, ffmpeg's video options.
setup_job() {
    case "$1" in
    720p)
        source="$work/source-720p-40s-bt709.mp4"
        make_source "$source" -f lavfi -i testsrc2=size=1280x720:rate=25 \
            -f lavfi -i sine=frequency=440:sample_rate=44100 -t 40 "${hd_colours[@]}" \
            -c:v libx264 -preset veryfast -b:v 3000k -c:a aac -b:a 128k -ac 2
        start=5 end=25 width=640 height=360 fps=25
        orvelin_encoder=(x264enc bitrate=800 speed-preset=medium)
        ffmpeg_video=(-c:v libx264 -preset medium -b:v 800k -maxrate 800k -bufsize 480k)
        ;;
    1080p)
        source="$work/source-1080p-30s-bt709.mp4"
        make_source "$source" -f lavfi -i testsrc2=size=1920x1080:rate=30000/1001 \
            -f lavfi -i sine=frequency=440:sample_rate=48000 -t 30 "${hd_colours[@]}" \
            -c:v libx264 -preset veryfast -b:v 6000k -c:a aac -b:a 128k -ac 2
        start=5 end=25 width=1920 height=1080 fps=29.97
        orvelin_encoder=(x264enc speed-preset=medium)
        ffmpeg_video=(-c:v libx264 -preset medium -b:v 2048k -maxrate 2048k -bufsize 1228k)
        ;;
    divx)
        source="$work/source-divx-30s.avi"
        make_source "$source" -f lavfi -i testsrc2=size=640x480:rate=25 \
            -f lavfi -i sine=frequency=440:sample_rate=44100 -t 30 \
            -c:v mpeg4 -vtag DIVX -b:v 1500k -c:a libmp3lame -b:a 128k -ac 2
        start=5 end=25 width=640 height=480 fps=23.976
        orvelin_encoder=(avenc_mpeg4)
        ffmpeg_video=(-c:v mpeg4 -b:v 200k -g 12 -bf 0)
        ;;
    *)
        echo "unknown job: $1" >&2
        exit 2
        ;;
    esac
}

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
    rm -f "$work/orvelin-$job.mkv"
    measure "$work/orvelin-$job.log" "$driver" "$source" "$work/orvelin-$job.mkv" \
        $start $end $width $height $fps "${orvelin_encoder[@]}"
}

run_ffmpeg() {
    rm -f "$work/ffmpeg-$job.mkv"
    measure "$work/ffmpeg-$job.log" ffmpeg -nostdin -y -loglevel error -ss $start -to $end \
        -i "$source" -vf scale=$width:$height -r $fps "${ffmpeg_video[@]}" \
        -c:a pcm_s16le -ar 44100 -ac 2 "$work/ffmpeg-$job.mkv"
}

median() { sort -n | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }

frames() {
    ffprobe -v error -count_frames -select_streams v:0 -show_entries stream=nb_read_frames \
        -of csv=p=0 "$1"
}

# Luma PSNR of a video against another (average over all frames, or over
# the frames a filter picks).
luma_psnr() {
    local a="$1" b="$2" pick="${3:-null}"
    ffmpeg -nostdin -loglevel info -i "$a" -i "$b" \
        -lavfi "[0:v]$pick,format=yuv420p[a];[1:v]$pick,format=yuv420p[b];[a][b]psnr" \
        -f null - 2>&1 | sed -n 's/.*PSNR y:\([0-9.inf]*\).*/\1/p' | tail -1
}

worst_wall=0 worst_cpu=0 worst_rss=0
summary=()
for job in $jobs; do
    setup_job "$job"
    echo "== job $job: $(basename "$source") ${start}-${end} s -> ${width}x${height} @$fps," \
        "${orvelin_encoder[0]}"
    ot=() ft=() oc=() fc=() om=() fm=()
    for ((i = 1; i <= runs; i++)); do
        read -r t m c < <(run_orvelin)
        ot+=("$t") om+=("$m") oc+=("$c")
        read -r t m c < <(run_ffmpeg)
        ft+=("$t") fm+=("$m") fc+=("$c")
        echo "run $i: orvelin ${ot[-1]} s (cpu ${oc[-1]} s, $((om[-1] / 1024)) MiB)," \
            "ffmpeg ${ft[-1]} s (cpu ${fc[-1]} s, $((fm[-1] / 1024)) MiB)"
    done
    owall="$(printf '%s\n' "${ot[@]}" | median)" fwall="$(printf '%s\n' "${ft[@]}" | median)"
    ocpu="$(printf '%s\n' "${oc[@]}" | median)" fcpu="$(printf '%s\n' "${fc[@]}" | median)"
    orss="$(printf '%s\n' "${om[@]}" | sort -n | tail -1)"
    frss="$(printf '%s\n' "${fm[@]}" | sort -n | tail -1)"

    reference="$work/reference-$job.nut"
    ffmpeg -nostdin -y -loglevel error -ss $start -to $end -i "$source" \
        -vf scale=$width:$height -r $fps -an -c:v ffv1 "$reference"
    opsnr="$(luma_psnr "$work/orvelin-$job.mkv" "$reference")"
    fpsnr="$(luma_psnr "$work/ffmpeg-$job.mkv" "$reference")"
    on="$(frames "$work/orvelin-$job.mkv")" fn="$(frames "$work/ffmpeg-$job.mkv")"
    first="$(luma_psnr "$work/orvelin-$job.mkv" "$work/ffmpeg-$job.mkv" "select=eq(n\,0)")"
    last_index=$((on < fn ? on - 1 : fn - 1))
    last="$(luma_psnr "$work/orvelin-$job.mkv" "$work/ffmpeg-$job.mkv" \
        "select=eq(n\,$last_index)")"

    read -r rw rc rr < <(awk -v a="$owall" -v b="$fwall" -v c="$ocpu" -v d="$fcpu" \
        -v e="$orss" -v f="$frss" 'BEGIN { printf "%.3f %.3f %.3f\n", a / b, c / d, e / f }')
    echo "wall:   orvelin $owall s, ffmpeg $fwall s, ratio $rw"
    echo "cpu:    orvelin $ocpu s, ffmpeg $fcpu s, ratio $rc"
    echo "rss:    orvelin $((orss / 1024)) MiB, ffmpeg $((frss / 1024)) MiB, ratio $rr"
    echo "psnr-y: orvelin $opsnr dB, ffmpeg $fpsnr dB (against the scaled source)"
    echo "frames: orvelin $on, ffmpeg $fn; first frames $first dB apart, last frames $last dB"
    summary+=("$job: wall $rw, cpu $rc, rss $rr, psnr $opsnr/$fpsnr dB, frames $on/$fn")
    worst_wall="$(awk -v a="$worst_wall" -v b="$rw" 'BEGIN { print (b > a ? b : a) }')"
    worst_cpu="$(awk -v a="$worst_cpu" -v b="$rc" 'BEGIN { print (b > a ? b : a) }')"
    worst_rss="$(awk -v a="$worst_rss" -v b="$rr" 'BEGIN { print (b > a ? b : a) }')"
done

echo "== summary (RUNS=$runs, load average $(cut -d' ' -f1-3 /proc/loadavg))"
printf '%s\n' "${summary[@]}"
echo "worst ratio: $worst_wall wall, $worst_cpu cpu, $worst_rss rss"
