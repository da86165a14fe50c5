#!/usr/bin/env bash
# The release screenshots that the AppStream metainfo names, taken from the
# built game: a scratch copy of its folder with a portable settings file
# (English, a 1280 x 720 window) on a private Xvfb screen, F2 in the main menu,
# on the map of levels (START clicked) and on level 1 once it is dealt.
# Usage: screenshots.sh GAME_FOLDER OUTPUT_FOLDER
# Writes OUTPUT_FOLDER/main-menu.png, level-map.png and level-1.png.
set -euo pipefail
game_dir=$(realpath "${1:?game folder}")
out_dir=${2:?output folder}

work=$(mktemp -d /tmp/mnemora-screenshots-XXXXXX)
xvfb_pid=
game_pid=
cleanup() {
    # SIGTERM makes the game quit and save its files: wait for that (5 s at
    # most) before the folder goes.
    [[ -n $game_pid ]] && { kill "$game_pid"; for _ in $(seq 50); do kill -0 "$game_pid" || break; sleep 0.1; done
        kill -9 "$game_pid"; wait "$game_pid"; } 2>/dev/null || true
    [[ -n $xvfb_pid ]] && kill "$xvfb_pid" 2>/dev/null || true
    [[ -n $xvfb_pid ]] && wait "$xvfb_pid" 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT
# On failure the shots taken so far are kept in OUTPUT_FOLDER/failed/.
fail() {
    echo "screenshots: $*" >&2
    mkdir -p "$out_dir/failed"
    for shot in "$work/shots/"*.bmp; do
        [[ -e $shot ]] && convert "$shot" -alpha off "$out_dir/failed/$(basename "$shot" .bmp).png"
    done
    exit 1
}

mkdir -p "$work/game" "$work/home" "$work/shots" "$out_dir"
cp "$game_dir/mnemora" "$work/game/"
for f in Mnemora.data Mnemora.languages Mnemora.pointer; do ln -s "$game_dir/$f" "$work/game/$f"; done
printf '[Settings]\r\nLanguage = en_GB\r\nGameScreen = 1\r\nResolution = 1\r\n' >"$work/game/Mnemora.prefs"

Xvfb -displayfd 3 -screen 0 1920x1080x24 -nolisten tcp -noreset 3>"$work/display" >/dev/null 2>&1 &
xvfb_pid=$!
for _ in $(seq 100); do [[ -s $work/display ]] && break; sleep 0.1; done
[[ -s $work/display ]] || fail "Xvfb did not start"
export DISPLAY=":$(head -n1 "$work/display")" SDL_VIDEODRIVER=x11 SDL_AUDIODRIVER=dummy
export HOME="$work/home" XDG_DATA_HOME="$work/home/data"

press() {
    xdotool keydown "$1"
    sleep 0.1
    xdotool keyup "$1"
}

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

# click X Y: a left click at a point of the game window.
click() {
    xdotool mousemove --window "$window" "$1" "$2"
    sleep 0.2  # a click acts on the hover of the frame before
    xdotool click 1
    # Away from the buttons again, so no highlight is in the picture.
    xdotool mousemove --window "$window" 1275 715
}

(cd "$work/game" && exec ./mnemora 2>"$work/stderr.txt") &
game_pid=$!
window=$(timeout 60 xdotool search --sync --onlyvisible --name '^Mnemora 1\.0\.0\.0 - Velcroft') ||
    fail "no window"
window=${window%%$'\n'*}
xdotool windowfocus --sync "$window" 2>/dev/null || true
xdotool mousemove --window "$window" 1275 715

shoot splash
settle main-menu splash
click 320 331  # START
settle level-map main-menu
click 36 645  # level 1, the first button on the map
settle level-1 level-map

for name in main-menu level-map level-1; do
    convert "$work/shots/$name.bmp" -alpha off -strip "$out_dir/$name.png"
    [[ $(identify -format '%wx%h' "$out_dir/$name.png") == 1280x720 ]] || fail "$name is not 1280 x 720"
done
echo "screenshots: $out_dir/main-menu.png level-map.png level-1.png"
