#!/usr/bin/env bash
# Runs the GTK dialog tests on a virtual X server of their own. Exit status
# 77 (reported as skipped) when this build has no GTK back end or Xvfb is
# not installed.
set -u
program="${1:-}"
if [ -z "$program" ] || [ ! -x "$program" ]; then
    echo "skipped: this build has no GTK back end (GTK 3 was not found when it was configured)"
    exit 77
fi
for tool in xvfb-run Xvfb xauth; do
    if ! command -v "$tool" >/dev/null 2>&1; then
        echo "skipped: $tool is not installed (Debian packages xvfb and xauth)"
        exit 77
    fi
done
shift
# GTK keeps its settings in memory: no session bus on a virtual display.
export GSETTINGS_BACKEND=memory NO_AT_BRIDGE=1
exec xvfb-run -a -s "-screen 0 1280x1024x24 -nolisten tcp" "$program" "$@"
