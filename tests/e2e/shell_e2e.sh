#!/usr/bin/env bash
# The game under a private Xvfb screen: started windowed at 1024 x 576 with
# "/LOG" from a scratch copy of its folder (a portable settings file beside
# it), a screenshot with F2 on the splash, in the main menu and on the map of
# levels (START clicked), back with Escape and quit with Escape. Then the
# screenshots, the log and the settings file must be right.
# The screenshots are kept as PNG in the output folder for a look.
set -euo pipefail
# shellcheck source=tests/e2e/lib.sh
source "$(dirname "$0")/lib.sh"
game_dir=$(realpath "${1:?game folder}")
out_dir=${2:-/tmp/mnemora-e2e-output}

e2e_begin e2e
mkdir -p "$out_dir"
scratch_game "$game_dir" "$work" '[Settings]\r\nLanguage = en_GB\r\nGameScreen = 1\r\nResolution = 0\r\n'
start_xvfb "$work" -screen 0 1920x1080x24
use_scratch_home "$work"

(cd "$work/game" && exec ./mnemora /LOG) &
game_pid=$!
# The window is shown once everything is loaded; the splash starts then.
window=$(find_window '^Mnemora 1\.0\.0\.0 - Velcroft' 60) || fail "no window"

sleep 0.4
press F2                # on the splash
sleep 6                 # splash 101 frames, slide 25 (slower on a busy machine): the menu
press F2
sleep 1.1               # the next second: a new screenshot name
# START (the first button of the menu column): the map of levels.
click "$window" 256 265
sleep 1
press F2
sleep 0.3
press Escape            # back to the main menu
sleep 0.3
press Escape            # quits from the main menu

wait_for_quit 10 || fail "the game did not quit on Escape"
[[ $game_status -eq 0 ]] || fail "the game exited with $game_status"

cd "$work/game"
shopt -s nullglob
shots=(Mnemora\ [0-3][0-9]-[01][0-9]-[0-9][0-9][0-9][0-9]\ [0-2][0-9]-[0-5][0-9]-[0-5][0-9].bmp)
logs=(Log\ *.log)
[[ ${#shots[@]} -eq 3 ]] || fail "expected 3 screenshots, found: $(ls)"
[[ ${#logs[@]} -eq 1 ]] || fail "expected 1 log, found: $(ls)"

log=$(tr -d '\r' <"${logs[0]}")
for line in $'Opening screen (Windowed):\t\tOK' $'Screenwidth:\t\t1024' $'Screenheight:\t\t576' \
            $'TileSize: \t\t74' $'Load language (en_GB):\t\tOK'; do
    grep -qxF "$line" <<<"$log" || fail "log lacks: $line"
done
[[ $(grep -c $'^Saving screenshot:\t\tOK$' <<<"$log") -eq 3 ]] || fail "log lacks three screenshot lines"

expected=$'\xEF\xBB\xBF\r\n; Mnemora Preferences\r\n[Settings]\r\nLanguage = en_GB\r\nMusic = 1\r\nGameScreen = 1\r\nResolution = 0\r\nSounds = 1\r\nMusicVolume = 60\r\nCompleted = 0\r\n'
[[ "$(cat Mnemora.prefs; printf x)" == "${expected}x" ]] || fail "settings file differs: $(od -c Mnemora.prefs | head)"

# Sort by time: the splash shot is the earlier one.
IFS=$'\n' sorted=($(for s in "${shots[@]}"; do
    echo "$(echo "$s" | sed -E 's/Mnemora (..)-(..)-(....) (..)-(..)-(..).bmp/\3\2\1\4\5\6/') $s"
done | sort | cut -d' ' -f2-))
unset IFS
convert "${sorted[0]}" -alpha off "$out_dir/splash.png"
convert "${sorted[1]}" -alpha off "$out_dir/menu.png"
convert "${sorted[2]}" -alpha off "$out_dir/levelselect.png"
[[ $(identify -format '%wx%h' "$out_dir/splash.png") == 1024x576 ]] || fail "screenshot is not 1024 x 576"
# The alpha byte of a 32-bit BMP is reserved; blending leaves the frame's alpha
# as the last sprite's, so the PNGs take the colours only. The splash picture
# is no black frame.
mean=$(convert "$out_dir/splash.png" -colorspace gray -format '%[fx:mean]' info:)
awk -v m="$mean" 'BEGIN { exit !(m > 0.05) }' || fail "the splash screenshot is black ($mean)"
echo "e2e: OK (screenshots in $out_dir)"
