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
# Then it tries sources the engine refuses and prints their sentences.
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

frames() { ffprobe -v error -select_streams v -count_packets -show_entries stream=nb_read_packets -of csv=p=0 "$1"; }

# Luma PSNR of picture $2 of file $1 against picture $4 of file $3.
psnr_of() {
    ffmpeg -v error -i "$1" -vf "select=eq(n\,$2)" -frames:v 1 -pix_fmt yuv420p -f rawvideo -y "$work/a.yuv"
    ffmpeg -v error -i "$3" -vf "select=eq(n\,$4)" -frames:v 1 -pix_fmt yuv420p -f rawvideo -y "$work/b.yuv"
    ffmpeg -v info -f rawvideo -s 1920x1080 -pix_fmt yuv420p -i "$work/a.yuv" -f rawvideo \
        -s 1920x1080 -pix_fmt yuv420p -i "$work/b.yuv" -lavfi psnr -f null - 2>&1 |
        sed -n 's/.* y:\([0-9.inf]*\).*/\1/p'
}

packet_hashes() {
    ffmpeg -v error -i "$1" -map 0:v -c copy -f framemd5 - | grep -v '^#' | awk -F, '{ print $6 }'
}

# Offset of the sound against the picture: the first beep onset after 1 s
# against the first flash after 1 s, in milliseconds.
av_offset() {
    local flash beep
    flash=$(ffprobe -v error -f lavfi -i "movie=$1,signalstats" -show_entries \
        frame=pts_time:frame_tags=lavfi.signalstats.YAVG -of csv=p=0 |
        awk -F, '$1 > 1 && $2 > 180 { print $1; exit }')
    beep=$(ffmpeg -v info -i "$1" -map 0:a -af silencedetect=n=-30dB:d=0.2 -f null - 2>&1 |
        awk '/silence_end/ { t = $5; if (t > 1) { print t; exit } }')
    awk -v f="$flash" -v b="$beep" 'BEGIN { printf "%.1f", (b - f) * 1000 }'
}

first_src=$(awk -v s=$start -v r=$fps 'BEGIN { print int(s * r) }')
last_src=$(awk -v e=$end -v r=$fps 'BEGIN { n = e * r; print (n == int(n) ? n - 1 : int(n)) }')
src_hashes="$work/source.md5"
packet_hashes "$source" | sort -u >"$src_hashes"
marked=$((last_src - first_src + 1))

echo
echo "wall  copy ${copy_s} s, re-encode ${enc_s} s, ratio $(awk -v a=$copy_s -v b=$enc_s 'BEGIN { printf "%.4f", a / b }') (goal <= 0.05)"
echo "peak  copy ${copy_kb} kB, re-encode ${enc_kb} kB, ratio $(awk -v a=$copy_kb -v b=$enc_kb 'BEGIN { printf "%.3f", a / b }') (goal <= 1)"
echo
printf "%-10s %7s %7s %10s %10s %17s %10s %9s\n" output frames marked first-dB last-dB identical/copied "decoder" "A/V ms"
for out in "$work/copy.mkv" "$work/copy.mp4"; do
    n=$(frames "$out")
    first_db=$(psnr_of "$out" 0 "$source" "$first_src")
    last_db=$(psnr_of "$out" $((n - 1)) "$source" "$last_src")
    identical=$(packet_hashes "$out" | grep -c -F -x -f "$src_hashes" || true)
    copied=$(sed -n 's/.*copied \([0-9]*\).*/\1/p' "$work/copy.log")
    errors=$(ffmpeg -v error -i "$out" -f null - 2>&1 | wc -l)
    [[ $errors == 0 ]] && errors=silent || errors="$errors lines"
    printf "%-10s %7s %7s %10s %10s %17s %10s %9s\n" "$(basename "$out")" "$n" "$marked" \
        "$first_db" "$last_db" "$identical/$copied" "$errors" "$(av_offset "$out")"
done

echo
echo "== sources that are not copied"
ffmpeg -nostdin -y -loglevel error -f lavfi -i testsrc2=size=320x240:rate=25 -t 4 \
    -c:v mpeg2video "$work/refuse-mpeg2.mkv"
ffmpeg -nostdin -y -loglevel error -f lavfi -i testsrc2=size=320x240:rate=25 -t 4 \
    -c:v libx264 -profile:v high10 -pix_fmt yuv420p10le "$work/refuse-10bit.mkv"
for f in refuse-mpeg2.mkv refuse-10bit.mkv; do
    printf "%-18s " "$f"
    "$driver" "$work/$f" "$work/refused.mkv" 1 3 || true
done
