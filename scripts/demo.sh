#!/usr/bin/env bash
# The main job: shows what the Windows build holds. Replaced step by step as the programs land.
set -euo pipefail
build=$1
echo "demo: Windows programs built in $build:"
find "$build" -maxdepth 2 -name '*.exe' ! -name '*_test.exe' ! -name '*_replay.exe' ! -name '*_bench.exe' | sort
