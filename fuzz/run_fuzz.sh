#!/usr/bin/env bash
# Builds the fuzz targets with clang and runs each for SECONDS (default 60)
# from the checked-in seeds. Fails on any finding.
set -euo pipefail

seconds=${1:-60}
root=$(cd "$(dirname "$0")/.." && pwd)
build=$root/build/fuzz

cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_C_COMPILER=clang -DZASK_FUZZ=ON >/dev/null
cmake --build "$build" -j2 --target object_reader_fuzz scene_reader_fuzz

# A whole scene image is 82480 bytes; objects stay small.
declare -A max_len=([object]=8192 [scene]=82600)

for kind in object scene; do
  # New inputs go to a scratch corpus so the checked-in seeds stay small.
  corpus=$(mktemp -d)
  trap 'rm -rf "$corpus"' EXIT
  mkdir -p "$build/artifacts"
  echo "== ${kind}_reader_fuzz for ${seconds}s"
  "$build/bin/${kind}_reader_fuzz" -max_total_time="$seconds" -max_len="${max_len[$kind]}" \
    -artifact_prefix="$build/artifacts/${kind}-" -print_final_stats=1 \
    "$corpus" "$root/fuzz/corpus/$kind"
  rm -rf "$corpus"
  trap - EXIT
done
echo "no findings"
