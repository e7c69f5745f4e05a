#!/usr/bin/env bash
# Builds the application and starts it; extra arguments go to the program
# (for example --headless --script FILE).
set -euo pipefail
cd "$(dirname "$0")"
./scripts/setup.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j "$(nproc)" --target brivanta_app
exec ./build/bin/brivanta "$@"
