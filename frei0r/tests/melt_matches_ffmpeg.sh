#!/usr/bin/env bash
# MLT (melt, which Kdenlive and Shotcut build on) and ffmpeg run the same
# frei0r filter over the same RGBA frames: MLT times frames in seconds, ffmpeg
# in milliseconds, and the filter counts frames either way, so the frames
# must be the same bytes; and they must hold a title. Exit 77 (skipped) when
# melt, ffmpeg or ffmpeg's frei0r filter is missing.
# Usage: melt_matches_ffmpeg.sh FREI0R_DIR KTHOME OUTPUT_DIR
set -euo pipefail
filters=$1 kthome=$2 out=$3
command -v melt >/dev/null || { echo "SKIPPED: no melt"; exit 77; }
command -v ffmpeg >/dev/null || { echo "SKIPPED: no ffmpeg"; exit 77; }
case $(ffmpeg -hide_banner -filters 2>/dev/null) in *' frei0r '*) ;; *) echo "SKIPPED: ffmpeg has no frei0r filter"; exit 77 ;; esac
mkdir -p "$out"
export FREI0R_PATH=$filters KTHOME=$kthome
cat > "$out/profile" <<PROFILE
description=320x240 25p
frame_rate_num=25
frame_rate_den=1
width=320
height=240
progressive=1
sample_aspect_num=1
sample_aspect_den=1
display_aspect_num=4
display_aspect_den=3
colorspace=601
PROFILE
rm -f "$out/melt.rgba" "$out/ffmpeg.rgba" "$out/plain.rgba"
# MLT's own frames, without and with the filter; a setting as a separate
# parameter and as NAME:VALUE (MLT reads NAME=VALUE as an animation) here.
melt_run() {
    local output=$1
    shift
    melt -silent -profile "$out/profile" color:0x2040c0ff out=19 "$@" \
        -consumer "avformat:$output" f=rawvideo pix_fmt=rgba mlt_image_format=rgba real_time=0 2>"$out/melt.log" ||
        { cat "$out/melt.log"; exit 1; }
}
melt_run "$out/plain.rgba"
melt_run "$out/melt.rgba" -filter frei0r.zask2 text='MLT\pOK' length=0.8 'settings=inDuration:3 outDuration:3' antialiasing=2
ffmpeg -nostdin -hide_banner -loglevel error -f rawvideo -pix_fmt rgba -s 320x240 -r 25 -i "$out/plain.rgba" \
    -vf 'frei0r=filter_name=zask2:filter_params=MLT\\\\\\\\pOK|0.8|0|inDuration=3 outDuration=3 antialiasing=2' \
    -f rawvideo -pix_fmt rgba -y "$out/ffmpeg.rgba"
size=$(stat -c %s "$out/melt.rgba")
[ "$size" -eq $((320 * 240 * 4 * 20)) ] || { echo "FAILED: melt wrote $size bytes, expected 20 frames"; exit 1; }
cmp "$out/melt.rgba" "$out/ffmpeg.rgba" || { echo "FAILED: melt's frames differ from ffmpeg's"; exit 1; }
if cmp -s "$out/melt.rgba" "$out/plain.rgba"; then echo "FAILED: no title in the frames"; exit 1; fi
echo "melt and ffmpeg render the same 20 frames, with the title"
