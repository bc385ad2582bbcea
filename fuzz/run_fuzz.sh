#!/usr/bin/env bash
# Builds the fuzz targets with clang and runs each for SECONDS (default 60)
# from the checked-in seeds. Fails on any finding (a crash, a sanitizer
# report, a leak, an input that runs longer than 30 s or takes over 2 GB; one
# input renders with the plug-in's 41 MB of render buffers, which the
# sanitizer's allocator maps and returns each time, so a loaded machine needs
# the margin).
#   fuzz/run_fuzz.sh [SECONDS] [TARGET ...]
# Targets: object scene title y4m preset settings (default: all).
set -euo pipefail

seconds=${1:-60}
shift || true
root=$(cd "$(dirname "$0")/.." && pwd)
build=$root/build/fuzz
targets=("$@")
[ ${#targets[@]} -eq 0 ] && targets=(object scene title y4m preset settings)

declare -A binary=([object]=object_reader_fuzz [scene]=scene_reader_fuzz [title]=title_json_fuzz
                   [y4m]=y4m_fuzz [preset]=preset_fuzz [settings]=settings_fuzz)
# A whole scene image is 82480 bytes; the other inputs stay small.
declare -A max_len=([object]=8192 [scene]=82600 [title]=4096 [y4m]=4096 [preset]=256 [settings]=256)

build_targets=()
for kind in "${targets[@]}"; do
  [ -n "${binary[$kind]:-}" ] || { echo "unknown fuzz target: $kind" >&2; exit 2; }
  build_targets+=("${binary[$kind]}")
done

cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_C_COMPILER=clang -DZASK_FUZZ=ON >/dev/null
cmake --build "$build" -j2 --target "${build_targets[@]}"

for kind in "${targets[@]}"; do
  # New inputs go to a scratch corpus so the checked-in seeds stay small.
  corpus=$(mktemp -d)
  trap 'rm -rf "$corpus"' EXIT
  mkdir -p "$build/artifacts"
  echo "== ${binary[$kind]} for ${seconds}s"
  "$build/bin/${binary[$kind]}" -max_total_time="$seconds" -max_len="${max_len[$kind]}" -timeout=30 \
    -rss_limit_mb=2048 -artifact_prefix="$build/artifacts/${kind}-" -print_final_stats=1 \
    "$corpus" "$root/fuzz/corpus/$kind"
  rm -rf "$corpus"
  trap - EXIT
done
echo "no findings"
