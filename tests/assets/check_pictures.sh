#!/usr/bin/env bash
# Checks the rendered tile, button, HUD and level-select pictures against the
# rules the game's loading and drawing rely on:
#   - each picture has its natural size and fits the 200 KiB picture block;
#   - colour-keyed opaque pictures are fully opaque and hold no pure black
#     (pure black would turn into holes);
#   - the level-select back buttons are hard shapes on pure black: no pixel is
#     a dark blend that would show as a fringe once black is keyed out;
#   - the pointer's tip is the pixel (0, 0); the arrow stays in the top third;
#     the dimming layer is uniform translucent black;
#   - tile corners are transparent and no two tile faces are near-identical
#     in greyscale;
#   - button faces are dark enough for white captions, the active look lighter.
# Usage: check_pictures.sh PICTURE_DIR. Prints one line per failure, exits 1.
set -uo pipefail
dir=${1:?usage: check_pictures.sh PICTURE_DIR}
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
fx() { convert "$1" "${@:3}" -format "%[fx:$2]" info: 2>/dev/null; }

declare -A size=(
    [button]=326x120 [button_active]=326x120
    [gui_pause]=128x128 [gui_pause_active]=128x128 [gui_clock]=128x128
    [levelselect_back]=128x128 [levelselect_back_active]=128x128
    [level_locked]=160x136 [level_open]=160x136 [level_finished]=160x136
    [levelselect_arrow]=160x136 [timeback]=681x64 [timefront]=681x64
    [back]=256x256 [pointer]=48x48 [level_focus]=160x136 [tile_focus]=256x256
)
tiles=()
for n in $(seq -w 1 20); do size[blue$n]=256x256; tiles+=(blue$n); done

for name in "${!size[@]}"; do
    png=$dir/$name.png
    if [[ ! -f $png ]]; then fail "$name.png is missing"; continue; fi
    actual=$(identify -format '%wx%h' "$png")
    [[ $actual == "${size[$name]}" ]] || fail "$name.png is $actual, expected ${size[$name]}"
    bytes=$(stat -c %s "$png")
    ((bytes < 204800)) || fail "$name.png is $bytes bytes, more than its 200 KiB block"
done
[[ -f $dir/shadow.png ]] || fail "shadow.png is missing"

# Opaque, colour-keyed pictures.
for name in button button_active gui_pause gui_pause_active timeback; do
    png=$dir/$name.png
    [[ -f $png ]] || continue
    [[ $(fx "$png" 'minima' -alpha extract) == 1 ]] || \
        fail "$name.png has pixels that are not fully opaque"
    blacks=$(convert "$png" -alpha off -fill white +opaque '#000000' -fill black -opaque '#000000' \
             -negate -format '%[fx:round(mean*w*h)]' info:)
    [[ $blacks == 0 ]] || fail "$name.png has $blacks pure black pixels (they become holes)"
done

# Hard shapes on pure black: any pixel whose brightest channel is below 96
# must be pure black.
for name in levelselect_back levelselect_back_active; do
    png=$dir/$name.png
    [[ -f $png ]] || continue
    [[ $(fx "$png" 'minima' -alpha extract) == 1 ]] || \
        fail "$name.png has pixels that are not fully opaque"
    [[ $(fx "$png" 'p[0,0].r+p[0,0].g+p[0,0].b' -alpha off) == 0 ]] || \
        fail "$name.png does not stand on pure black"
    fringe=$(convert "$png" -alpha off -separate -evaluate-sequence max \
             -fx 'u>0 && u<96/255' -format '%[fx:round(mean*w*h)]' info:)
    [[ $fringe == 0 ]] || fail "$name.png has $fringe dark soft pixels against its black"
done

# Pointer tip, arrow placement, dimming layer.
if [[ -f $dir/pointer.png ]]; then
    (( $(fx "$dir/pointer.png" 'round(255*p[0,0].a)') >= 230 )) || \
        fail "pointer.png: the tip pixel (0, 0) is not opaque"
fi
if [[ -f $dir/levelselect_arrow.png ]]; then
    [[ $(fx "$dir/levelselect_arrow.png" 'maxima' -alpha extract -crop 160x90+0+46 +repage) == 0 ]] || \
        fail "levelselect_arrow.png draws below its top third"
fi
if [[ -f $dir/shadow.png ]]; then
    read -r w h amin amax rgb <<<"$(convert "$dir/shadow.png" -alpha on -format \
        '%w %h %[fx:minima.a] %[fx:maxima.a] %[fx:maxima.r+maxima.g+maxima.b]' info:)"
    ((w <= 64 && h <= 64)) || fail "shadow.png is ${w}x$h, expected a small picture"
    [[ $amin == "$amax" && $rgb == 0 ]] || fail "shadow.png is not uniform black"
    awk -v a="$amin" 'BEGIN { exit !(a >= 0.4 && a <= 0.7) }' || \
        fail "shadow.png alpha $amin is not about one half"
fi

# Tiles: transparent corners; no two faces alike in greyscale (compared at
# 64 x 64, root-mean-square difference of the whole picture).
grey=$(mktemp -d)
trap 'rm -rf "$grey"' EXIT
for name in back "${tiles[@]}"; do
    png=$dir/$name.png
    [[ -f $png ]] || continue
    [[ $(fx "$png" 'p[0,0].a+p[255,0].a+p[0,255].a+p[255,255].a') == 0 ]] || \
        fail "$name.png has opaque corners"
    convert "$png" -background '#808080' -flatten -colorspace Gray -resize 64x64 "$grey/$name.png"
done
# All pairs in one pass: each greyscale picture becomes one line of 4096
# bytes, and awk compares every line with every later one.
names=()
for name in back "${tiles[@]}"; do [[ -f $grey/$name.png ]] && names+=("$name"); done
if ((${#names[@]} > 1)); then
    for name in "${names[@]}"; do convert "$grey/$name.png" -depth 8 gray:-; done |
        od -An -v -tu1 -w4096 |
        awk -v names="${names[*]}" '
            { for (k = 1; k <= NF; k++) v[NR, k] = $k; n = NF }
            END {
                split(names, label, " ")
                for (i = 1; i <= NR; i++) for (j = i + 1; j <= NR; j++) {
                    sum = 0
                    for (k = 1; k <= n; k++) { d = v[i, k] - v[j, k]; sum += d * d }
                    rmse = sqrt(sum / n) / 255
                    if (rmse < 0.06)
                        printf "%s.png and %s.png look alike in greyscale (RMSE %.3f)\n", label[i], label[j], rmse
                }
            }' > "$grey/alike.txt"
    while read -r line; do fail "$line"; done < "$grey/alike.txt"
fi

# White captions: the face behind the caption (the middle of the button) must
# be dark enough: relative luminance at most 0.42 keeps white text at a
# contrast of 2.2 : 1 or more; the active face is clearly lighter.
luminance() {
    convert "$1" -alpha off -crop 200x40+63+40 +repage -scale '1x1!' \
        -format '%[fx:r] %[fx:g] %[fx:b]' info: |
        awk 'function lin(c) { return c <= 0.04045 ? c / 12.92 : ((c + 0.055) / 1.055) ^ 2.4 }
             { printf "%.3f", 0.2126 * lin($1) + 0.7152 * lin($2) + 0.0722 * lin($3) }'
}
if [[ -f $dir/button.png && -f $dir/button_active.png ]]; then
    normal=$(luminance "$dir/button.png") active=$(luminance "$dir/button_active.png")
    awk -v n="$normal" -v a="$active" 'BEGIN { exit !(n <= 0.42 && a <= 0.42) }' || \
        fail "button faces too light for white captions (luminance $normal, $active)"
    awk -v n="$normal" -v a="$active" 'BEGIN { exit !(a > n + 0.05) }' || \
        fail "button_active.png is not clearly lighter than button.png ($active vs $normal)"
fi

if ((failures > 0)); then
    echo "$failures picture check(s) failed"
    exit 1
fi
echo "all picture checks passed"
