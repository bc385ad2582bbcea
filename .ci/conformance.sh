#!/usr/bin/env bash
# Runs the reference cases against one built preset: every render case except
# those listed in tests/conformance_disputed.txt (printed with their reason),
# then the preview cases. Usage: .ci/conformance.sh PRESET
set -euo pipefail
cd "$(dirname "$0")/.."
preset=$1
status=0

cases=()
disputed=$(awk '!/^#/ && NF {print $1}' tests/conformance_disputed.txt)
for dir in ../shared/conformance/cases/*/; do
    name=$(basename "$dir")
    if grep -qx "$name" <<<"$disputed"; then
        echo "skipped (disputed): $(grep "^$name " tests/conformance_disputed.txt)"
    else
        cases+=("$name")
    fi
done
echo "== $preset: conformance"
../shared/conformance/run --host "build/$preset/bin/zask" --operators "build/$preset/lib" "${cases[@]}" || status=1
echo "== $preset: preview conformance"
../shared/conformance/run --host "build/$preset/bin/zask" --operators "build/$preset/lib" \
    --cases ../shared/conformance/preview-cases || status=1
exit $status
