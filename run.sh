#!/usr/bin/env bash
# Installs what is missing, builds, and starts Orvela in the folder of the sample catalogue.
set -euo pipefail
cd "$(dirname "$0")"
./scripts/deps.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build -j"$(nproc)"
cd build/catalogue
exec ./Orvela "$@"
