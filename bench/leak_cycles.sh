#!/bin/sh
# Open Video and Convert cycles in one process: prints the cycle count, the
# open descriptors at the start and the end, and the growth of resident
# memory. Goal: descriptors back to their start, growth under 10 MB.
# Usage: bench/leak_cycles.sh [build-dir] [cycles]
set -e
build=${1:-build}
cycles=${2:-100}
ORVELIN_LEAK_CYCLES=$cycles QT_QPA_PLATFORM=offscreen GST_DEBUG=0 \
    "$build/tests/test_leak_cycles" --gtest_also_run_disabled_tests \
    --gtest_filter='LeakCycles.DISABLED_*'
