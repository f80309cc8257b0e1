#!/usr/bin/env bash
# Cut without re-encoding against a re-encoding conversion, side by side.
#
# The source: 90 s of 1920x1080 25 fps H.264 (keyframe every 2 s, B-frames)
# with AAC sound; the picture flashes white and the sound beeps for the first
# 0.04 s / 0.1 s of every second. The cut: 10.37-70.81 s, written
#   copy      by the copy engine (bench/smart_cut_tool.cpp) into Matroska and MP4
#   re-encode by ffmpeg with libx264 -preset medium at the same size and rate
#             and the sound copied: the fastest re-encoding of that stretch at
#             x264 medium on this machine (the program's own re-encoding path
#             adds its colour conversions and is slower, so the ratio against
#             it is smaller still)
# Prints the wall-time and peak-memory ratios copy / re-encode and, per copy,
# the correctness table: frame count against the marks' pictures (the one
# shown at the start mark to the one before the end mark), luma PSNR
# of the first and last pictures against the source's pictures at the marks,
# how many packets are byte-identical to source packets (framemd5 of the
# packets) against how many the engine says it copied, what an independent
# decoder complains of, and the offset between the flashes and the beeps.
# The same table follows for a phone's H.265 clip (10 bits, shown turned, a
# variable picture rate), a DVD title's interlaced MPEG-2 with AC-3 and a
# VP9 web video, each cut 3.37-15.81 s. (H.265 copies carry the source's
# parameter sets in front of their first copied packet, MPEG-2 copies the
# source's sequence header where that packet has none: one packet fewer is
# identical there.) Then it tries sources the engine refuses and prints
# their sentences.
#
# Goals: wall ratio <= 0.05, peak memory ratio <= 1, PSNR >= 40 dB, every
# copied packet identical, decoder silent, A/V offset <= 30 ms.
#
# Needs ffmpeg/ffprobe, GNU time and the program's build dependencies.
#   BENCH_DIR=/tmp/orvelin-bench   work folder (sources, outputs, build)
#   SMART_CUT_DRIVER=path          a built orvelin_smart_cut to use instead
set -euo pipefail

here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
work="${BENCH_DIR:-/tmp/orvelin-bench}"
build="$work/build"
mkdir -p "$work"
start=10.37
end=70.81
fps=25

for tool in ffmpeg ffprobe /usr/bin/time cmake; do
    command -v "$tool" >/dev/null || { echo "missing: $tool" >&2; exit 1; }
done

if [[ -n "${SMART_CUT_DRIVER:-}" ]]; then
    driver="$SMART_CUT_DRIVER"
else
    echo "== building the copy engine's driver (Release)"
    launcher=()
    command -v ccache >/dev/null && launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
    cmake -S "$here" -B "$build" -DCMAKE_BUILD_TYPE=Release "${launcher[@]}" >"$work/cmake.log" 2>&1 ||
        { cat "$work/cmake.log"; exit 1; }
    cmake --build "$build" --target orvelin_smart_cut -j"$(nproc)" >"$work/build.log" 2>&1 ||
        { tail -40 "$work/build.log"; exit 1; }
    driver="$build/orvelin_smart_cut"
fi

source="$work/smartcut-1080p-90s.mp4"
if [[ ! -s "$source" ]]; then
    echo "== making $(basename "$source")"
    ffmpeg -nostdin -y -loglevel error \
        -f lavfi -i "testsrc2=size=1920x1080:rate=$fps,drawbox=x=0:y=0:w=iw:h=ih:color=white:t=fill:enable='lt(mod(t\,1)\,0.04)'" \
        -f lavfi -i "aevalsrc='if(lt(mod(t\,1)\,0.1)\,0.5*sin(2*PI*1000*t)\,0)':s=48000" -t 90 \
        -vf scale=out_color_matrix=bt709:out_range=tv,format=yuv420p -colorspace bt709 \
        -color_primaries bt709 -color_trc bt709 -c:v libx264 -preset veryfast -g 50 \
        -keyint_min 50 -sc_threshold 0 -bf 2 -c:a aac -b:a 128k "$source.tmp.mp4"
    mv "$source.tmp.mp4" "$source"
fi

# "seconds kilobytes" of a command run under GNU time, its output in $1.
measure() {
    local out="$1"
    shift
    /usr/bin/time -f "%e %M" -o "$out.time" "$@" >"$out" 2>&1 || { cat "$out" >&2; return 1; }
    cat "$out.time"
}

echo "== copy (Matroska)"
rm -f "$work/copy.mkv" "$work/copy.mp4" "$work/reencode.mkv"
read -r copy_s copy_kb < <(measure "$work/copy.log" "$driver" "$source" \
    "$work/copy.mkv" $start $end)
cat "$work/copy.log"
echo "== copy (MP4)"
"$driver" "$source" "$work/copy.mp4" $start $end
echo "== re-encode (x264 medium)"
read -r enc_s enc_kb < <(measure "$work/reencode.log" ffmpeg -nostdin -y -loglevel error \
    -ss $start -to $end -i "$source" -c:v libx264 -preset medium -c:a copy "$work/reencode.mkv")

frames() {
    ffprobe -v error -select_streams v -count_packets -show_entries stream=nb_read_packets \
        -of csv=p=0 "$1" | head -1 | cut -d, -f1
}

# Luma PSNR of picture $2 of file $1 against picture $4 of file $3, both as
# stored (not turned).
psnr_of() {
    local size
    size=$(ffprobe -v error -select_streams v -show_entries stream=width,height -of csv=s=x:p=0 \
        "$1" | head -1 | cut -dx -f1,2)
    ffmpeg -v error -noautorotate -i "$1" -vf "select=eq(n\,$2)" -frames:v 1 -pix_fmt yuv420p -f rawvideo -y "$work/a.yuv"
    ffmpeg -v error -noautorotate -i "$3" -vf "select=eq(n\,$4)" -frames:v 1 -pix_fmt yuv420p -f rawvideo -y "$work/b.yuv"
    ffmpeg -v info -f rawvideo -s "$size" -pix_fmt yuv420p -i "$work/a.yuv" -f rawvideo \
        -s "$size" -pix_fmt yuv420p -i "$work/b.yuv" -lavfi psnr -f null - 2>&1 |
        sed -n 's/.* y:\([0-9.inf]*\).*/\1/p'
}

packet_hashes() {
    ffmpeg -v error -i "$1" -map 0:v -c copy -f framemd5 - | grep -v '^#' | awk -F, '{ print $6 }'
}

# Offset of the sound against the picture: the first beep onset after 1 s
# against the first flash after 1 s, in milliseconds.
av_offset() {
    local flash beep
    flash=$(ffprobe -v error -f lavfi -i "movie=$1,format=gray,signalstats" -show_entries \
        frame=pts_time:frame_tags=lavfi.signalstats.YAVG -of csv=p=0 |
        awk -F, '$1 > 1 && $2 > 180 { print $1; exit }')
    beep=$(ffmpeg -v info -i "$1" -map 0:a -af silencedetect=n=-30dB:d=0.2 -f null - 2>&1 |
        awk '/silence_end/ { t = $5; if (t > 1) { print t; exit } }')
    awk -v f="$flash" -v b="$beep" 'BEGIN { printf "%.1f", (b - f) * 1000 }'
}

# "first last": the decoded pictures of $1 shown at mark $2 and just before
# mark $3, by their own time stamps (right for variable rates too), as the
# program counts time: from the file's start, and for MPEG program streams
# from their first picture; a picture within a millisecond of a mark is at it.
mark_pictures() {
    local t0=0
    [[ $1 == *.vob || $1 == *.mpg ]] &&
        t0=$(ffprobe -v error -select_streams v -show_entries stream=start_time -of csv=p=0 "$1" |
            head -1 | cut -d, -f1)
    ffprobe -v error -select_streams v -show_entries frame=best_effort_timestamp_time \
        -of csv=p=0 "$1" | cut -d, -f1 | grep -v -e '^$' -e N/A | sort -g |
        awk -v s="$2" -v e="$3" -v t0="$t0" '
            { t = $1 - t0; if (t <= s + 1e-3) first = NR - 1; if (t < e - 1e-3) last = NR - 1 }
            END { print first, last }'
}

header() {
    printf "%-16s %7s %7s %10s %10s %17s %10s %9s\n" output frames marked first-dB last-dB \
        identical/copied decoder "A/V ms"
}

# One row of the correctness table: source $1, copy $2, marks $3 $4, the
# driver's log $5.
row() {
    local n first_src last_src identical copied errors
    read -r first_src last_src < <(mark_pictures "$1" "$3" "$4")
    packet_hashes "$1" | sort -u >"$work/source.md5"
    n=$(frames "$2")
    identical=$(packet_hashes "$2" | grep -c -F -x -f "$work/source.md5" || true)
    copied=$(sed -n 's/.*copied \([0-9]*\).*/\1/p' "$5")
    errors=$(ffmpeg -v error -i "$2" -f null - 2>&1 | wc -l)
    [[ $errors == 0 ]] && errors=silent || errors="$errors lines"
    printf "%-16s %7s %7s %10s %10s %17s %10s %9s\n" "$(basename "$2")" "$n" \
        $((last_src - first_src + 1)) "$(psnr_of "$2" 0 "$1" "$first_src")" \
        "$(psnr_of "$2" $((n - 1)) "$1" "$last_src")" "$identical/$copied" "$errors" \
        "$(av_offset "$2")"
}

echo
echo "wall  copy ${copy_s} s, re-encode ${enc_s} s, ratio $(awk -v a=$copy_s -v b=$enc_s 'BEGIN { printf "%.4f", a / b }') (goal <= 0.05)"
echo "peak  copy ${copy_kb} kB, re-encode ${enc_kb} kB, ratio $(awk -v a=$copy_kb -v b=$enc_kb 'BEGIN { printf "%.3f", a / b }') (goal <= 1)"
echo
header
row "$source" "$work/copy.mkv" $start $end "$work/copy.log"
row "$source" "$work/copy.mp4" $start $end "$work/copy.log"

# Other sources, each with the flashes and beeps: a phone's H.265 (10 bits,
# shown turned, a variable picture rate, open groups), a DVD title's
# interlaced MPEG-2 with AC-3 and a VP9 web video with Opus.
flash="drawbox=x=0:y=0:w=iw:h=ih:color=white:t=fill:enable='lt(mod(t\,1)\,0.04)'"
beep="aevalsrc='if(lt(mod(t\,1)\,0.1)\,0.5*sin(2*PI*1000*t)\,0)'"
make() {
    local out="$work/$1"
    shift
    [[ -s "$out" ]] && return
    echo "== making $(basename "$out")"
    ffmpeg -nostdin -y -loglevel error "$@" "$out.tmp.${out##*.}" && mv "$out.tmp.${out##*.}" "$out"
}
make phone-hevc-plain.mp4 -f lavfi -i "testsrc2=size=1920x1080:rate=30,$flash" \
    -f lavfi -i "$beep:s=44100" -t 20 \
    -vf "setpts='N/30/TB+if(mod(N\,7)\,0\,0.012)/TB',format=yuv420p10le" -fps_mode vfr \
    -c:v libx265 -preset veryfast -x265-params "keyint=30:min-keyint=30:bframes=2:log-level=error" \
    -tag:v hvc1 -c:a aac
make phone-hevc.mp4 -i "$work/phone-hevc-plain.mp4" -c copy -metadata:s:v:0 rotate=90
make dvd-mpeg2.vob -f lavfi -i "testsrc2=size=720x576:rate=25,$flash" -f lavfi -i "$beep:s=48000" \
    -t 20 -c:v mpeg2video -b:v 6M -g 12 -bf 2 -flags +ilme+ildct -top 1 -c:a ac3 -f vob
make web-vp9.webm -f lavfi -i "testsrc2=size=1280x720:rate=30,$flash" -f lavfi -i "$beep:s=48000" \
    -t 20 -c:v libvpx-vp9 -g 60 -deadline realtime -cpu-used 8 -b:v 2M -c:a libopus

for pair in phone-hevc.mp4:phone-copy.mp4 dvd-mpeg2.vob:dvd-copy.mkv web-vp9.webm:web-copy.mkv; do
    src="$work/${pair%%:*}" out="$work/${pair##*:}"
    rm -f "$out"
    if "$driver" "$src" "$out" 3.37 15.81 >"$out.log" 2>&1; then
        row "$src" "$out" 3.37 15.81 "$out.log"
    else
        printf "%-16s %s\n" "$(basename "$out")" "$(cat "$out.log")"
    fi
done

echo
echo "== sources that are not copied"
ffmpeg -nostdin -y -loglevel error -f lavfi -i testsrc2=size=320x240:rate=25 -t 4 \
    -c:v libvpx "$work/refuse-vp8.mkv"
ffmpeg -nostdin -y -loglevel error -f lavfi -i testsrc2=size=320x240:rate=25 -t 4 \
    -c:v libx264 -profile:v high10 -pix_fmt yuv420p10le "$work/refuse-10bit.mkv"
printf "%-18s " phone-hevc.mp4
"$driver" "$work/phone-hevc.mp4" "$work/refused.mkv" 1 3 || true
for f in refuse-vp8.mkv refuse-10bit.mkv; do
    printf "%-18s " "$f"
    "$driver" "$work/$f" "$work/refused.mkv" 1 3 || true
done
