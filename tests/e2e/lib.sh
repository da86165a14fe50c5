# shellcheck shell=bash
# The shell library of the end-to-end scripts: a scratch folder, the game's
# folder copied into it, a private Xvfb screen, keys and clicks, stopping the
# game, and one clean-up at exit. Sourced, never run:
#
#   #!/usr/bin/env bash
#   set -euo pipefail
#   source "$(dirname "$0")/lib.sh"     # (packaging/: ../tests/e2e/lib.sh)
#   e2e_begin "e2e name"                # messages start with "e2e name: "
#   scratch_game "$game_dir" "$work" '[Settings]\r\nGameScreen = 1\r\n'
#   start_xvfb "$work" -screen 0 1280x720x24
#   use_scratch_home "$work"
#   (cd "$work/game" && exec ./mnemora) & game_pid=$!
#   window=$(find_window '^Mnemora 1\.0\.0\.0' 60) || fail "no window"
#   press F2; click "$window" 320 331
#   wait_for_quit 10 || fail "the game did not quit"
#
# What it gives:
#   e2e_begin NAME    makes the scratch folder $work (removed at exit) and sets
#                     the one EXIT trap: it stops the game ($game_pid) as
#                     stop_game does, then Xvfb ($xvfb_pid), then runs the
#                     script's own e2e_at_exit when it defines one, then
#                     removes $work. A script that runs parts in subshells
#                     sets `trap stop_all EXIT` in each.
#   fail MESSAGE      "NAME: MESSAGE" on standard error, exit 1. A script may
#                     define its own fail after sourcing (to keep evidence).
#   scratch_game GAME_DIR FOLDER [PREFS]
#                     FOLDER/game holds a copy of the program and links to its
#                     data, language folder and pointer; FOLDER/home is empty;
#                     PREFS (printf escapes allowed) becomes the portable
#                     settings file beside the program.
#   start_xvfb FOLDER SCREEN-ARGS...
#                     a private X server on a free display number (Xvfb picks
#                     it and tells it through -displayfd), exports DISPLAY and
#                     sets $xvfb_pid. No descriptor above 2 goes with it, so a
#                     lock a script holds (package_e2e.sh) is not kept by Xvfb.
#   use_scratch_home FOLDER
#                     the game's environment: X11 video, dummy audio, HOME and
#                     XDG_DATA_HOME inside FOLDER/home.
#   find_window PATTERN SECONDS
#                     waits for a visible window whose name matches; prints
#                     its id (the first one); fails after SECONDS.
#   press KEY         holds KEY for 100 ms: the game reads the keys per frame.
#   click WINDOW X Y  moves to (X, Y) in the window, waits a frame, clicks.
#   wait_for_quit SECONDS
#                     waits for $game_pid to end; 0 with its status checked
#                     (status 0 expected; the status is in $game_status), 1
#                     when it still runs.
#   stop_game         SIGTERM (the game quits and saves its files), up to 5 s
#                     for it to end, then SIGKILL; clears $game_pid.
#   stop_xvfb, stop_all
#                     the X server; the game and then the X server.

e2e_name=e2e
work=
xvfb_pid=
game_pid=
game_status=0

e2e_begin() {
    e2e_name=$1
    work=$(mktemp -d "/tmp/mnemora-${e2e_name// /-}-XXXXXX")
    trap e2e_exit EXIT
}

e2e_exit() {
    stop_all
    if declare -F e2e_at_exit >/dev/null; then e2e_at_exit || true; fi
    [[ -n $work ]] && rm -rf "$work"
}

fail() {
    echo "$e2e_name: $*" >&2
    exit 1
}

scratch_game() {
    local game_dir=$1 folder=$2 prefs=${3:-}
    mkdir -p "$folder/game" "$folder/home"
    cp "$game_dir/mnemora" "$folder/game/"
    local f
    for f in Mnemora.data Mnemora.languages Mnemora.pointer; do
        ln -s "$game_dir/$f" "$folder/game/$f"
    done
    if [[ -n $prefs ]]; then printf "$prefs" >"$folder/game/Mnemora.prefs"; fi
}

start_xvfb() {
    local folder=$1
    shift
    rm -f "$folder/display"
    Xvfb -displayfd 3 "$@" -nolisten tcp -noreset 3>"$folder/display" >/dev/null 2>&1 9>&- &
    xvfb_pid=$!
    local _
    for _ in $(seq 100); do
        [[ -s $folder/display ]] && break
        sleep 0.1
    done
    [[ -s $folder/display ]] || fail "Xvfb did not start"
    DISPLAY=":$(head -n1 "$folder/display")"
    export DISPLAY
}

use_scratch_home() {
    export SDL_VIDEODRIVER=x11 SDL_AUDIODRIVER=dummy
    export HOME="$1/home" XDG_DATA_HOME="$1/home/data"
}

find_window() {
    local window
    window=$(timeout "$2" xdotool search --sync --onlyvisible --name "$1") || return 1
    window=${window%%$'\n'*}
    [[ -n $window ]] || return 1
    xdotool windowfocus --sync "$window" 2>/dev/null || true
    echo "$window"
}

press() {
    xdotool keydown "$1"
    sleep 0.1
    xdotool keyup "$1"
}

click() {
    xdotool mousemove --window "$1" "$2" "$3"
    sleep 0.2  # a click acts on the hover of the frame before
    xdotool click 1
}

wait_for_quit() {
    local _
    for _ in $(seq $(($1 * 5))); do
        kill -0 "$game_pid" 2>/dev/null || break
        sleep 0.2
    done
    kill -0 "$game_pid" 2>/dev/null && return 1
    game_status=0
    wait "$game_pid" || game_status=$?
    game_pid=
    return 0
}

stop_game() {
    [[ -n $game_pid ]] || return 0
    {
        kill "$game_pid"
        local _
        for _ in $(seq 50); do
            kill -0 "$game_pid" || break
            sleep 0.1
        done
        kill -9 "$game_pid"
        wait "$game_pid"
    } 2>/dev/null || true
    game_pid=
}

stop_xvfb() {
    [[ -n $xvfb_pid ]] || return 0
    kill "$xvfb_pid" 2>/dev/null || true
    wait "$xvfb_pid" 2>/dev/null || true
    xvfb_pid=
}

stop_all() {
    stop_game
    stop_xvfb
}
