#!/usr/bin/env bash
# The release screenshots that the AppStream metainfo names, taken from the
# built game: a scratch copy of its folder with a portable settings file
# (English, a 1280 x 720 window) on a private Xvfb screen, F2 in the main menu,
# on the map of levels (START clicked) and on level 1 once it is dealt.
# Usage: screenshots.sh GAME_FOLDER OUTPUT_FOLDER
# Writes OUTPUT_FOLDER/main-menu.png, level-map.png and level-1.png.
set -euo pipefail
# shellcheck source=tests/e2e/lib.sh
source "$(dirname "$0")/../tests/e2e/lib.sh"
game_dir=$(realpath "${1:?game folder}")
out_dir=${2:?output folder}

e2e_begin screenshots
# On failure the shots taken so far are kept in OUTPUT_FOLDER/failed/.
fail() {
    echo "screenshots: $*" >&2
    mkdir -p "$out_dir/failed"
    for shot in "$work/shots/"*.bmp; do
        [[ -e $shot ]] && convert "$shot" -alpha off "$out_dir/failed/$(basename "$shot" .bmp).png"
    done
    exit 1
}

mkdir -p "$work/shots" "$out_dir"
scratch_game "$game_dir" "$work" '[Settings]\r\nLanguage = en_GB\r\nGameScreen = 1\r\nResolution = 1\r\n'
start_xvfb "$work" -screen 0 1920x1080x24
use_scratch_home "$work"

# shoot NAME: F2 until the game has saved a screenshot, kept as shots/NAME.bmp.
# F2 names its file by the second, so each shot waits for the next second.
shoot() {
    shopt -s nullglob
    local taken=()
    for _ in $(seq 20); do
        press F2
        sleep 1.1
        taken=("$work/game/Mnemora "*.bmp)
        [[ ${#taken[@]} -gt 0 ]] && break
    done
    [[ ${#taken[@]} -gt 0 ]] || fail "F2 saved no screenshot"
    mv "${taken[0]}" "$work/shots/$1.bmp"
}

# The share of pixels that differ between two shots, in parts per thousand.
difference() {
    local pixels
    pixels=$(compare -metric AE "$work/shots/$1.bmp" "$work/shots/$2.bmp" null: 2>&1 || true)
    awk -v p="${pixels%% *}" 'BEGIN { printf "%d", p * 1000 / (1280 * 720) }'
}

# settle NAME BEFORE: shots until one differs from BEFORE and the next one
# shows (almost) the same, so no slide or deal is caught halfway. The clock
# bar of a level shrinks all the time, so a few pixels may change.
settle() {
    local name=$1 before=$2 i
    shoot "$name"
    for i in $(seq 30); do
        shoot next
        if [[ $(difference "$name" "$before") -gt 20 && $(difference "$name" next) -le 2 ]]; then
            mv "$work/shots/next.bmp" "$work/shots/$name.bmp"
            return 0
        fi
        mv "$work/shots/next.bmp" "$work/shots/$name.bmp"
    done
    fail "the screen for $name did not settle"
}

# click_away X Y: a left click at a point of the game window, then the pointer
# away from the buttons again, so no highlight is in the picture.
click_away() {
    click "$window" "$1" "$2"
    xdotool mousemove --window "$window" 1275 715
}

(cd "$work/game" && exec ./mnemora 2>"$work/stderr.txt") &
game_pid=$!
window=$(find_window '^Mnemora 1\.0\.0\.0 - Velcroft' 60) || fail "no window"
xdotool mousemove --window "$window" 1275 715

shoot splash
settle main-menu splash
click_away 320 331  # START
settle level-map main-menu
click_away 36 645  # level 1, the first button on the map
settle level-1 level-map

for name in main-menu level-map level-1; do
    convert "$work/shots/$name.bmp" -alpha off -strip "$out_dir/$name.png"
    [[ $(identify -format '%wx%h' "$out_dir/$name.png") == 1280x720 ]] || fail "$name is not 1280 x 720"
done
echo "screenshots: $out_dir/main-menu.png level-map.png level-1.png"
