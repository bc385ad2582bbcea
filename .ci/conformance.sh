#!/usr/bin/env bash
# Runs the reference cases against one built preset: every render case except
# those listed in tests/conformance_disputed.txt (named with their reason on
# standard error), then the preview cases.
#   .ci/conformance.sh PRESET     run both sets
#   .ci/conformance.sh --cases    only list the render cases that run
set -euo pipefail
cd "$(dirname "$0")/.."

cases=()
disputed=$(awk '!/^#/ && NF {print $1}' tests/conformance_disputed.txt)
for dir in ../shared/conformance/cases/*/; do
    name=$(basename "$dir")
    if grep -qx "$name" <<<"$disputed"; then
        echo "skipped (disputed): $(grep "^$name " tests/conformance_disputed.txt)" >&2
    else
        cases+=("$name")
    fi
done
if [ "${1:-}" = --cases ]; then
    printf '%s\n' "${cases[@]}"
    exit 0
fi

preset=${1:?usage: .ci/conformance.sh PRESET | --cases}
status=0
echo "== $preset: conformance"
../shared/conformance/run --host "build/$preset/bin/zask" --operators "build/$preset/lib" "${cases[@]}" || status=1
echo "== $preset: preview conformance"
../shared/conformance/run --host "build/$preset/bin/zask" --operators "build/$preset/lib" \
    --cases ../shared/conformance/preview-cases || status=1
exit $status
