#!/usr/bin/env bash
# The main job: builds the 64-bit Trellin.exe and runs it under Wine on a seeded workstation.
set -uo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh || exit 1
cmake -S . -B build/win64 -G Ninja -DCMAKE_BUILD_TYPE=Release \
  -DCMAKE_TOOLCHAIN_FILE=cmake/toolchain-x86_64-w64-mingw32.cmake >/dev/null || exit 1
cmake --build build/win64 || exit 1
exec bash e2e/run.sh build/win64
