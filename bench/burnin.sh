#!/usr/bin/env bash
# Times ways of making a review copy of the same clip (testsrc2, a timecode
# track from 10:00:00:00, stereo AAC sound), each with the same x264 settings
# (default preset, CRF 18, yuv420p) and the sound copied:
#   (a) a plain transcode by ffmpeg, no filter: the floor;
#   (b) ffmpeg's own burn-in: drawtext for the texts the HUD shows at its
#       defaults, drawbox for the mask bands and the timeline;
#   (c) vexahud-preview, the default HUD bound to the clip's timecode;
#   (d) vexahud-preview with every item of the HUD shown.
# First at 1920x1080 (SECONDS_HD long), then (a) to (c) at 3840x2160
# (SECONDS_4K long; 0 leaves it out), then the 1080p clip with LTC as its sound:
#   (e) vexahud-preview reading the LTC, against (f) the same told to read none. Runs them one after another, REPEATS
# times over, and prints each median, the ratios, each run's peak memory, and
# where the preview's CPU time goes stage by stage.
#   bench/burnin.sh [BUILD]   (REPEATS=5, SECONDS_HD=20, SECONDS_4K=5 by default)
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
preview="$build/bin/vexahud-preview"
[ -x "$preview" ] || { echo "burnin: build $preview first" >&2; exit 2; }
repeats=${REPEATS:-5}
seconds_hd=${SECONDS_HD:-${SECONDS_LONG:-20}}
seconds_4k=${SECONDS_4K:-5}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

x264=(-c:v libx264 -crf 18 -pix_fmt yuv420p -c:a copy)
mono=/usr/share/fonts/opentype/freefont/FreeMonoBold.otf
sans=/usr/share/fonts/truetype/liberation2/LiberationSans-Regular.ttf

# The default HUD as drawtext and drawbox, laid out for 1080 lines and scaled
# by $1 (2 at 2160 lines, as the preview scales its HUD): bands top and bottom,
# the values in the mono face and their labels in the sans face, the scene and
# camera timecodes counted from the clip's start timecode, the timeline.
drawtext_for() {
  local k=$1
  s() { echo $(($1 * k)); }
  value() { echo "drawtext=fontfile=$mono:fontsize=$(s 84):fontcolor=white:x=$1:y=$2:$3"; }
  label() { echo "drawtext=fontfile=$sans:fontsize=$(s 28):fontcolor=white:x=$1:y=$2:text=$3"; }
  local filters=(
    "drawbox=x=0:y=0:w=iw:h=$(s 130):color=black@0.7:t=fill"
    "drawbox=x=0:y=ih-$(s 130):w=iw:h=$(s 130):color=black@0.7:t=fill"
    "drawbox=x=$(s 20):y=ih-$(s 220):w=iw-$(s 40):h=$(s 40):color=white:t=$(s 2)"
    "$(value "$(s 20)" "$(s 20)" "text=21.4")" "$(label "$(s 28)" "$(s 104)" "FOCAL LENGTH")"
    "$(value "$(s 1200)" "$(s 20)" "text=Take 001")" "$(label "$(s 1208)" "$(s 104)" "FQN")"
    "$(value "$(s 20)" "h-$(s 120)" "text='%{eif\\:n\\:d\\:5}'")" "$(label "$(s 28)" "h-$(s 28)" FRAME)"
    "$(value "$(s 400)" "h-$(s 120)" "timecode='00\\:00\\:00\\:00':rate=25")" "$(label "$(s 408)" "h-$(s 28)" SCENE)"
    "$(value "$(s 1000)" "h-$(s 120)" "text='00\\:00\\:00\\:00'")" "$(label "$(s 1008)" "h-$(s 28)" CHARACTER)"
    "$(value "$(s 1600)" "h-$(s 120)" "timecode='10\\:00\\:00\\:00':rate=25")" "$(label "$(s 1608)" "h-$(s 28)" CAMERA)"
  )
  (IFS=,; echo "${filters[*]}")
}

make_clip() {  # size seconds path
  ffmpeg -hide_banner -loglevel error -y \
    -f lavfi -i "testsrc2=size=$1:rate=25:duration=$2" \
    -f lavfi -i "sine=frequency=1000:sample_rate=48000:duration=$2" \
    -ac 2 -c:v libx264 -pix_fmt yuv420p -c:a aac -timecode 10:00:00:00 "$3"
}

# Seconds and peak kilobytes of one run, as "seconds kB".
measure() {
  local start end
  start=$(date +%s.%N)
  /usr/bin/time -f %M -o "$work/peak" "$@" 2>"$work/err" ||
    { cat "$work/err" >&2; echo "burnin: $1 failed" >&2; return 1; }
  end=$(date +%s.%N)
  awk -v s="$start" -v e="$end" -v m="$(tail -1 "$work/peak")" 'BEGIN {printf "%.3f %d", e - s, m}'
}
median() { printf '%s\n' "$@" | sort -g | awk '{v[NR]=$1} END {print (NR%2) ? v[(NR+1)/2] : (v[NR/2]+v[NR/2+1])/2}'; }

bench() {  # label size seconds scale ways...
  local label=$1 size=$2 seconds=$3 scale=$4
  shift 4
  local clip="$work/clip_$size.mov" drawtext
  rm -f "$work/stages_c"
  make_clip "$size" "$seconds" "$clip"
  drawtext=$(drawtext_for "$scale")
  declare -A times peaks
  local way i result
  for ((i = 1; i <= repeats; i++)); do
    for way in "$@"; do
      case $way in
        a) result=$(measure ffmpeg -hide_banner -loglevel error -y -i "$clip" "${x264[@]}" "$work/a.mov") ;;
        b) result=$(measure ffmpeg -hide_banner -loglevel error -y -i "$clip" -vf "$drawtext" "${x264[@]}" "$work/b.mov") ;;
        c) result=$(measure "$preview" --footage "$clip" -o "$work/c.mov" --crf 18 --verbose)
           grep "CPU ms" "$work/err" > "$work/stages_c" || true ;;
        d) result=$(measure "$preview" examples/all-items.json --footage "$clip" -o "$work/d.mov" --crf 18) ;;
        e) result=$(measure "$preview" --footage "$work/ltc.mov" -o "$work/e.mov" --crf 18 --footage-timecode ltc) ;;
        f) result=$(measure "$preview" --footage "$work/ltc.mov" -o "$work/f.mov" --crf 18 --footage-timecode none) ;;
      esac
      times[$way]="${times[$way]:-} ${result% *}"
      peaks[$way]="${peaks[$way]:-} ${result#* }"
    done
    echo "burnin: $label, run $i of $repeats done" >&2
  done
  local frames=$((seconds * 25)) ma
  ma=$(median ${times[a]})
  printf '%-48s %8s %10s %12s %14s\n' "$label: $seconds s at $size, 25 fps" median frames/s "against (a)" "peak memory"
  for way in "$@"; do
    local m p name
    m=$(median ${times[$way]})
    p=$(median ${peaks[$way]})
    case $way in
      a) name="(a) ffmpeg transcode, no filter" ;;
      b) name="(b) ffmpeg drawtext + drawbox burn-in" ;;
      c) name="(c) vexahud-preview burn-in" ;;
      d) name="(d) vexahud-preview, every item shown" ;;
      e) name="(e) vexahud-preview reading LTC" ;;
      f) name="(f) the same, no timecode read" ;;
    esac
    awk -v n="$name" -v m="$m" -v f="$frames" -v a="$ma" -v p="$p" \
      'BEGIN {printf "%-48s %7.2fs %10.1f %11.2fx %11d kB\n", n, m, f / m, m / a, p}'
  done
  if [[ " $* " == *" b "* && " $* " == *" c "* ]]; then
    awk -v b="$(median ${times[b]})" -v c="$(median ${times[c]})" -v pb="$(median ${peaks[b]})" \
      -v pc="$(median ${peaks[c]})" -v r="$repeats" \
      'BEGIN {printf "(c)/(b) = %.2f in time, %.2f in peak memory (medians of %d runs)\n", c / b, pc / pb, r}'
  fi
  if [[ " $* " == *" e "* && " $* " == *" f "* ]]; then
    awk -v e="$(median ${times[e]})" -v f="$(median ${times[f]})" -v r="$repeats" \
      'BEGIN {printf "(e)/(f) = %.3f: reading the LTC adds %.1f %% (medians of %d runs)\n", e / f, 100 * (e / f - 1), r}'
  fi
  [ -s "$work/stages_c" ] && sed 's/^vexahud-preview: /(c) /' "$work/stages_c"
  echo
}

bench "1080p" 1920x1080 "$seconds_hd" 1 a b c d
if [ "$seconds_4k" -gt 0 ]; then
  bench "4K" 3840x2160 "$seconds_4k" 2 a b c
fi
# The 1080p clip again, its sound 25 fps LTC from 10:00:00:00.
"$build/bin/vexahud-make-ltc" 25 "$seconds_hd" "$work/ltc.u8"
ffmpeg -hide_banner -loglevel error -y -i "$work/clip_1920x1080.mov" -f u8 -ar 48000 -ac 1 \
  -i "$work/ltc.u8" -map 0:v -map 1:a -c:v copy -c:a pcm_s16le "$work/ltc.mov"
bench "1080p with LTC" 1920x1080 "$seconds_hd" 1 a e f
