#!/usr/bin/env bash
# Time from starting Orvelin to its main window being mapped, under Xvfb.
# Needs: xvfb, xdotool (apt-get install -y --no-install-recommends xvfb xdotool).
# Usage: bench/startup_time.sh [runs]   (default 5)
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
bin="$root/build/orvelin"
[ -x "$bin" ] || { echo "build first: ./scripts/setup" >&2; exit 1; }

if [ "${1:-}" != "--inner" ]; then
    exec xvfb-run -a -s "-screen 0 1280x1024x24" "$0" --inner "${1:-5}"
fi
runs="$2"
times=()
for _ in $(seq "$runs"); do
    cfg="$(mktemp -d)"
    start=$(date +%s%N)
    XDG_CONFIG_HOME="$cfg" QT_QPA_PLATFORM=xcb "$bin" >/dev/null 2>&1 &
    pid=$!
    xdotool search --sync --onlyvisible --name '^Orvelin$' >/dev/null
    end=$(date +%s%N)
    kill "$pid" 2>/dev/null || true
    wait "$pid" 2>/dev/null || true
    rm -rf "$cfg"
    ms=$(((end - start) / 1000000))
    times+=("$ms")
    echo "run: $ms ms"
done
printf '%s\n' "${times[@]}" | sort -n | awk '{ a[NR] = $1; s += $1 }
    END { printf "median: %d ms, mean: %.0f ms over %d runs\n", a[int((NR + 1) / 2)], s / NR, NR }'
