#!/usr/bin/env bash
# The main job: installs what is missing, builds, and runs a migration into an embedded target database.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j"$(nproc)"

out=${ZBPV_DEMO_DIR:-$PWD/out/demo}
rm -rf "$out"
mkdir -p "$out"
export ZBPV_HOME="$out/home"
# A generated old installation (data folders, ini files and the registry of a Wine prefix).
./build/bin/make-sample-installation "$out/alt" >/dev/null
export WINEPREFIX="$out/alt/wine"
./build/bin/zbpv-import --create-target "$out/target.fdb"
./build/bin/zbpv-import --select both --embedded --database "$out/target.fdb"
./build/bin/zbpv-import --list-target "$out/target.fdb"
