#!/usr/bin/env bash
# The picture pass on real screens of the wide classes: the game borderless
# (at the screen's size) with "/LOG" on private Xvfb screens of 3440 x 1440
# (21:9) and 4096 x 2160 (17:9). The log must name the right class and
# background lines, and a splash screenshot must have the screen's size.
set -euo pipefail
# shellcheck source=tests/e2e/lib.sh
source "$(dirname "$0")/lib.sh"
game_dir=$(realpath "${1:?game folder}")
out_dir=${2:-/tmp/mnemora-e2e-output}

e2e_begin "e2e screens"
mkdir -p "$out_dir"

# run WIDTH HEIGHT [SECOND]: one run, with a second monitor (an X screen) of
# the size SECOND when given; leaves the log's lines in $work/log.txt.
run() {
    local width=$1 height=$2 folder="$work/$1x$2" second=()
    [[ -n ${3:-} ]] && second=(-screen 1 "${3}x24")
    trap stop_all EXIT  # each run is a subshell of its own
    rm -rf "$folder"
    scratch_game "$game_dir" "$folder" '[Settings]\r\nLanguage = en_GB\r\nGameScreen = 2\r\n'
    start_xvfb "$folder" -screen 0 "${width}x${height}x24" "${second[@]}"
    use_scratch_home "$folder"

    (cd "$folder/game" && exec ./mnemora /LOG 2>"$folder/stderr.txt") &
    game_pid=$!
    find_window '^Mnemora 1\.0\.0\.0' 90 >/dev/null || fail "no window at ${width} x ${height}"
    # F2 until the screenshot is there: a key pressed before the window has
    # the keyboard, or between two frames of a busy machine, is not seen.
    shopt -s nullglob
    local taken=()
    for _ in $(seq 20); do
        sleep 0.3
        press F2
        sleep 1.2
        taken=("$folder/game/Mnemora "*.bmp)
        [[ ${#taken[@]} -gt 0 ]] && break
    done
    [[ ${#taken[@]} -gt 0 ]] || fail "F2 saved no screenshot at ${width} x ${height}"
    # Escape does nothing on the splash and the slide, and quits from the
    # menu: a big software-rendered screen can take a while to get there.
    for _ in $(seq 120); do
        kill -0 "$game_pid" 2>/dev/null || break
        press Escape
        sleep 0.5
    done
    wait_for_quit 0 || fail "the game did not quit at ${width} x ${height}"
    [[ $game_status -eq 0 ]] || fail "the game ended with status $game_status at ${width} x ${height}: $(tail -n 5 "$folder/stderr.txt"; tail -n 3 "$folder/game/Log "*.log)"
    stop_xvfb

    local logs=("$folder/game/Log "*.log) shots=("$folder/game/Mnemora "*.bmp)
    [[ ${#logs[@]} -eq 1 && ${#shots[@]} -ge 1 ]] || fail "no log or screenshot: $(ls "$folder/game")"
    tr -d '\r' <"${logs[0]}" >"$work/log.txt"
    convert "${shots[0]}" -alpha off "$out_dir/splash_${width}x${height}.png"
    [[ $(identify -format '%wx%h' "$out_dir/splash_${width}x${height}.png") == "${width}x${height}" ]] ||
        fail "screenshot is not ${width} x ${height}"
}

# The lines from "AspectRatio:" with the class number to the game background.
background_lines() {
    sed -n '/^AspectRatio:\t\t/,/^Load asset (ingame)/p' "$work/log.txt"
}

# One run; a failed run is told and tried once more, since a key can be lost
# on a loaded machine.
run_twice() {
    (run "$@") && return 0
    echo "e2e screens: the run at $1 x $2 failed once; trying again" >&2
    (run "$@")
}

run_twice 3440 1440 || exit 1
expected=$'AspectRatio:\t\t6\nLoad asset (orvanta):\t\tOK\nLoad asset (menuback):\t\tOK\nLoad asset (levelselect):\t\tOK\nLoad asset (ingame):\t\tOK'
[[ "$(background_lines)" == "$expected" ]] || fail "3440 x 1440: $(background_lines)"
grep -qxF $'Screenwidth:\t\t3440' "$work/log.txt" || fail "3440 x 1440: no screen width line"

run_twice 4096 2160 || exit 1
expected=$'AspectRatio:\t\t5\nAspectRatio:  17:9\nLoad asset (orvanta):\t\tOK\nLoad asset (menuback):\t\tOK\nLoad asset (levelselect):\t\tOK\nLoad asset (ingame):\t\tOK'
[[ "$(background_lines)" == "$expected" ]] || fail "4096 x 2160: $(background_lines)"
grep -qxF $'Opening screen (Borderless):\t\tOK' "$work/log.txt" || fail "4096 x 2160: not borderless"
# Portrait monitors, the first with a landscape one beside it: the report
# counts both, and the tiles are sized so that the widest board fits.
run_twice 1080 1920 1920x1080 || exit 1
grep -qxF $'Number of desktops:\t\t2' "$work/log.txt" || fail "1080 x 1920: $(grep desktops "$work/log.txt")"
grep -qxF $'TileSize: \t\t120' "$work/log.txt" || fail "1080 x 1920: $(grep TileSize "$work/log.txt")"
run_twice 1200 1920 || exit 1
grep -qxF $'Number of desktops:\t\t1' "$work/log.txt" || fail "1200 x 1920: $(grep desktops "$work/log.txt")"
grep -qxF $'TileSize: \t\t134' "$work/log.txt" || fail "1200 x 1920: $(grep TileSize "$work/log.txt")"
echo "e2e screens: OK"
