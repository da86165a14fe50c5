# shellcheck shell=bash
# The shell library of the scripts that run the Windows game and its tests
# under Wine (scripts/test-windows, scripts/bench-windows). Sourced, never run;
# it sources the end-to-end library (tests/e2e/lib.sh) for the scratch folder,
# the private Xvfb screen and the one clean-up at exit:
#
#   #!/usr/bin/env bash
#   set -euo pipefail
#   source "$(dirname "$0")/wine-lib.sh"
#   wine_begin "test-windows"     # $work, and a Wine prefix inside it
#   fresh_wine_prefix win10       # wineboot (and the Windows version), timed
#   start_xvfb "$work" -screen 0 1280x720x24
#
# What it gives, besides everything of tests/e2e/lib.sh:
#   wine_begin NAME   e2e_begin NAME, then WINEPREFIX inside $work, Wine's
#                     debug output off and no Mono or Gecko installer asked
#                     for. At exit the prefix's wineserver is stopped before
#                     the folder goes.
#   fresh_wine_prefix [VERSION]
#                     makes the prefix (wineboot -i), sets the Windows version
#                     when one is given (win10: as the game is made for), and
#                     waits for Wine's server to settle.
#   step LABEL START  prints "== LABEL: N s" for a step begun at START
#                     (seconds since the epoch, `date +%s`).

# shellcheck source=tests/e2e/lib.sh
source "$(dirname "${BASH_SOURCE[0]}")/../tests/e2e/lib.sh"

wine_begin() {
    e2e_begin "$1"
    export WINEPREFIX=$work/prefix WINEDEBUG=-all WINEDLLOVERRIDES='mscoree,mshtml='
}

# lib.sh's clean-up calls this after the game and the screen have stopped.
e2e_at_exit() {
    wineserver -k 2>/dev/null || true
}

fresh_wine_prefix() {
    wineboot -i >/dev/null 2>&1
    if [[ -n ${1:-} ]]; then wine winecfg -v "$1" >/dev/null 2>&1; fi
    wineserver -w
}

step() {
    echo "== $1: $(($(date +%s) - $2)) s"
}
