#!/usr/bin/env bash
# Times three ways of making a review copy of the same 20-second 1920x1080
# 25 fps clip (testsrc2, a timecode track from 10:00:00:00, stereo sound),
# each with the same x264 settings (default preset, CRF 18, yuv420p), sound
# copied:
#   (a) a plain transcode by ffmpeg, no filter: the floor;
#   (b) ffmpeg's own burn-in: drawtext for the texts the HUD shows at its
#       defaults, drawbox for the mask bands and the timeline;
#   (c) vexahud-preview, the default HUD bound to the clip's timecode.
# Runs them one after another, REPEATS times over, and prints each median and
# the ratios (c)/(a) and (c)/(b).
#   bench/burnin.sh [BUILD]   (REPEATS=3, SECONDS_LONG=20 by default)
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
preview="$build/bin/vexahud-preview"
[ -x "$preview" ] || { echo "burnin: build $preview first" >&2; exit 2; }
repeats=${REPEATS:-3}
seconds=${SECONDS_LONG:-20}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

clip="$work/clip.mov"
ffmpeg -hide_banner -loglevel error -y \
  -f lavfi -i "testsrc2=size=1920x1080:rate=25:duration=$seconds" \
  -f lavfi -i "sine=frequency=1000:sample_rate=48000:duration=$seconds" \
  -ac 2 -c:v libx264 -pix_fmt yuv420p -c:a aac -timecode 10:00:00:00 "$clip"

x264=(-c:v libx264 -crf 18 -pix_fmt yuv420p -c:a copy)
mono=/usr/share/fonts/opentype/freefont/FreeMonoBold.otf
sans=/usr/share/fonts/truetype/liberation2/LiberationSans-Regular.ttf
# The default HUD at 1920x1080: bands top and bottom, the values in the mono
# face and their labels in the sans face, the scene and camera timecodes
# counted from the clip's start timecode, the timeline across the lower band.
value() { echo "drawtext=fontfile=$mono:fontsize=84:fontcolor=white:x=$1:y=$2:$3"; }
label() { echo "drawtext=fontfile=$sans:fontsize=28:fontcolor=white:x=$1:y=$2:text=$3"; }
filters=(
  "drawbox=x=0:y=0:w=iw:h=130:color=black@0.7:t=fill"
  "drawbox=x=0:y=ih-130:w=iw:h=130:color=black@0.7:t=fill"
  "drawbox=x=20:y=ih-220:w=iw-40:h=40:color=white:t=2"
  "$(value 20 20 "text=21.4")" "$(label 28 104 "FOCAL LENGTH")"
  "$(value 1200 20 "text=Take 001")" "$(label 1208 104 "FQN")"
  "$(value 20 h-120 "text='%{eif\\:n\\:d\\:5}'")" "$(label 28 h-28 FRAME)"
  "$(value 400 h-120 "timecode='00\\:00\\:00\\:00':rate=25")" "$(label 408 h-28 SCENE)"
  "$(value 1000 h-120 "text='00\\:00\\:00\\:00'")" "$(label 1008 h-28 CHARACTER)"
  "$(value 1600 h-120 "timecode='10\\:00\\:00\\:00':rate=25")" "$(label 1608 h-28 CAMERA)"
)
drawtext=$(IFS=,; echo "${filters[*]}")

run_a() { ffmpeg -hide_banner -loglevel error -y -i "$clip" "${x264[@]}" "$work/a.mov"; }
run_b() { ffmpeg -hide_banner -loglevel error -y -i "$clip" -vf "$drawtext" "${x264[@]}" "$work/b.mov"; }
run_c() { "$preview" --footage "$clip" -o "$work/c.mov" --codec h264 --crf 18 2>/dev/null; }

elapsed() {
  local start end
  start=$(date +%s.%N)
  "$@" || { echo "burnin: $1 failed" >&2; return 1; }
  end=$(date +%s.%N)
  awk -v s="$start" -v e="$end" 'BEGIN {printf "%.3f", e - s}' 
}
median() { printf '%s\n' "$@" | sort -g | awk '{v[NR]=$1} END {print (NR%2) ? v[(NR+1)/2] : (v[NR/2]+v[NR/2+1])/2}'; }

a=() b=() c=()
for ((i = 1; i <= repeats; i++)); do
  a+=("$(elapsed run_a)")
  b+=("$(elapsed run_b)")
  c+=("$(elapsed run_c)")
  echo "burnin: run $i of $repeats: a ${a[-1]} s, b ${b[-1]} s, c ${c[-1]} s" >&2
done
ma=$(median "${a[@]}") mb=$(median "${b[@]}") mc=$(median "${c[@]}")
awk -v a="$ma" -v b="$mb" -v c="$mc" -v n="$((seconds * 25))" -v s="$seconds" -v r="$repeats" 'BEGIN {
  printf "%-44s %8s %10s\n", "burn-in of " s " s, 1920x1080, 25 fps", "median", "frames/s"
  printf "%-44s %7.2fs %10.1f\n", "(a) ffmpeg transcode, no filter", a, n / a
  printf "%-44s %7.2fs %10.1f\n", "(b) ffmpeg drawtext + drawbox burn-in", b, n / b
  printf "%-44s %7.2fs %10.1f\n", "(c) vexahud-preview burn-in", c, n / c
  printf "(c)/(a) = %.2f    (c)/(b) = %.2f    (medians of %d runs)\n", c / a, c / b, r
}'
