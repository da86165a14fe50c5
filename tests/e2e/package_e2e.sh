#!/usr/bin/env bash
# The Debian package from `make package`, installed into this machine: lintian
# on the package; dpkg -i, then apt-get -f install for what it depends on; the
# installed desktop entry, metainfo, manual page, icons and stripped program
# checked; the game started from the PATH under Xvfb by a user account that
# exists nowhere else (a fresh home, no password entry), the main menu seen in
# an F2 screenshot, quit with Escape, the settings file checked in the user's
# folder; then dpkg --purge, after which nothing of the package and nothing the
# user's game wrote may be left outside that home.
#
# Needs root (CI runs as root). Runs of it on this machine take turns through a
# lock, and whatever happens the package is purged again at the end.
# Usage: package_e2e.sh PACKAGE_FOLDER SCREENSHOT_FOLDER OUTPUT_FOLDER
set -euo pipefail
# shellcheck source=tests/e2e/lib.sh
source "$(dirname "$0")/lib.sh"
packages=$(realpath "${1:?package folder}")
shots=$(realpath "${2:?screenshot folder}")
out_dir=${3:?output folder}
deb=$packages/mnemora_1.0.0_amd64.deb
ddeb=$packages/mnemora-dbgsym_1.0.0_amd64.ddeb

[[ $(id -u) -eq 0 ]] || { echo "package e2e: needs root to install the package; skipped"; exit 77; }
[[ -f $deb ]] || { echo "package e2e: no $deb (make package); skipped"; exit 77; }

e2e_name="package e2e"

# One run at a time on this machine, whichever checkout it comes from.
exec 9>/run/lock/mnemora-package-e2e.lock
flock -w 900 9 || fail "another package test held the lock for 15 minutes"

# An account number no one has: whatever it owns afterwards, the game made.
player=47311
getent passwd "$player" >/dev/null && fail "uid $player exists on this machine"
e2e_begin "package e2e"
chmod 755 "$work"
home=$work/home
mkdir -p "$home" "$out_dir"
chown "$player:$player" "$home"
planted=/usr/lib/games/mnemora/Mnemora.prefs

# Runs a command as the player; exec, so that a background job's pid is the
# command's own and killing it stops the command.
as_player() {
    exec setpriv --reuid="$player" --regid="$player" --clear-groups \
        env -i HOME="$home" PATH=/usr/local/bin:/usr/bin:/bin:/usr/games LANG=C.UTF-8 \
        DISPLAY="${DISPLAY:-}" SDL_AUDIODRIVER=dummy "$@"
}

# dpkg allows one user at a time; another job's apt-get may hold it for a while.
dpkg_retry() {
    local output
    for _ in $(seq 60); do
        if output=$("$@" 2>&1); then return 0; fi
        grep -q 'lock' <<<"$output" || { echo "$output" >&2; return 1; }
        sleep 5
    done
    echo "$output" >&2
    return 1
}

purge() {
    rm -f "$planted"
    if dpkg-query -W -f='${Status}' mnemora 2>/dev/null | grep -qv 'not-installed'; then
        dpkg_retry dpkg --purge mnemora
    fi
}
# After the game and the screen have stopped (lib.sh's clean-up at exit).
e2e_at_exit() {
    purge || echo "package e2e: could not purge mnemora" >&2
}

# ---- The package itself ---------------------------------------------------------

cp "$deb" "$work/"
chmod 644 "$work/$(basename "$deb")"
lintian_out=$(setpriv --reuid=65534 --regid=65534 --clear-groups env -i HOME="$work" PATH=/usr/bin:/bin \
    lintian --fail-on error --display-info "$work/$(basename "$deb")" 2>&1) ||
    fail "lintian reports errors:"$'\n'"$lintian_out"
echo "package e2e: lintian:${lintian_out:+$'\n'$lintian_out}"
build_id=$(dpkg-deb -f "$ddeb" Build-Ids)
dpkg-deb -c "$ddeb" | grep -q "usr/lib/debug/.build-id/${build_id:0:2}/${build_id:2}.debug" ||
    fail "the dbgsym package lacks the symbols of build ID $build_id"

# ---- Install ------------------------------------------------------------------------

# Left from a run that was killed before its clean-up (we hold the lock).
purge
# The shared folders the package puts its own in (the games ones may not exist).
listing() { ls /usr/lib /usr/lib/games /usr/share/doc /usr/share/games /usr/games 2>/dev/null || true; }
snapshot_before=$(listing)
dpkg_retry dpkg -i "$deb" || true  # a missing dependency leaves it unconfigured
DEBIAN_FRONTEND=noninteractive dpkg_retry apt-get -o DPkg::Lock::Timeout=300 -f install -y -qq ||
    fail "apt-get -f install failed"
[[ $(dpkg-query -W -f='${Status}' mnemora) == "install ok installed" ]] || fail "mnemora is not installed"
mapfile -t owned < <(dpkg -L mnemora)

desktop-file-validate /usr/share/applications/mnemora.desktop || fail "desktop entry"
appstreamcli validate --no-net /usr/share/metainfo/com.orvanta.Mnemora.metainfo.xml >"$work/as.txt" 2>&1 ||
    fail "metainfo: $(cat "$work/as.txt")"
page=$(MANWIDTH=80 man --warnings -l /usr/share/man/man6/mnemora.6.gz 2>"$work/man.txt") ||
    fail "man -l failed"
[[ -s $work/man.txt ]] && fail "man page warnings: $(cat "$work/man.txt")"
for heading in NAME SYNOPSIS OPTIONS FILES ENVIRONMENT /LOG XDG_DATA_HOME Orvanta/Mnemora; do
    grep -q -- "$heading" <<<"$page" || fail "the manual page lacks $heading"
done
for size in 16 32 48 64 128 256; do
    [[ $(identify -format '%wx%h' "/usr/share/icons/hicolor/${size}x${size}/apps/mnemora.png") == "${size}x${size}" ]] ||
        fail "no ${size} x ${size} icon"
done
[[ -f /usr/share/icons/hicolor/scalable/apps/mnemora.svg ]] || fail "no scalable icon"
# Every screenshot the metainfo names was made by this build from the game.
names=$(grep -o 'screenshots/1\.0\.0/[a-z0-9-]*\.png' /usr/share/metainfo/com.orvanta.Mnemora.metainfo.xml)
[[ $(wc -l <<<"$names") -ge 2 ]] || fail "fewer than two screenshots in the metainfo"
for name in $names; do
    [[ $(identify -format '%wx%h' "$shots/${name##*/}") == 1280x720 ]] || fail "no screenshot ${name##*/}"
done
program=/usr/lib/games/mnemora/mnemora
# The program apart from its data, which is the same on every architecture.
data=/usr/share/games/mnemora
for file in Mnemora.data Mnemora.pointer Mnemora.languages/en_GB.language licenses/LICENSE; do
    [[ -f $data/$file ]] || fail "no $data/$file"
done
[[ -z $(find /usr/lib/games/mnemora -mindepth 1 ! -name mnemora) ]] ||
    fail "more than the program in /usr/lib/games/mnemora: $(ls /usr/lib/games/mnemora)"
file -L "$program" | grep -q ', stripped' || fail "the installed program is not stripped"
readelf -n "$program" | grep -q "Build ID: $build_id" || fail "the program's build ID is not $build_id"
readelf -S "$program" | grep -q '\.gnu_debuglink' || fail "the program has no debug link"
[[ $(readlink -f /usr/games/mnemora) == "$program" ]] || fail "/usr/games/mnemora is not the program"

# ---- Play -----------------------------------------------------------------------------

# A settings file beside the installed program must not make it portable.
printf '[Settings]\r\nLanguage = de_DE\r\nGameScreen = 1\r\n' >"$planted"

# The screen and xdotool are root's: what the player's uid owns afterwards is
# the game's alone.
start_xvfb "$work" -screen 0 1280x720x24

# From the PATH, in the player's home, as a fresh player: borderless at the
# screen's 1280 x 720, the size of the release screenshot of the main menu.
(cd "$home" && as_player sh -c 'exec mnemora' 2>"$work/stderr.txt") 9>&- &
game_pid=$!
timeout 60 xdotool search --sync --onlyvisible --name '^Mnemora 1\.0\.0\.0' >/dev/null ||
    fail "no window: $(cat "$work/stderr.txt")"
xdotool mousemove 1279 719

save=$home/.local/share/Orvanta/Mnemora
shopt -s nullglob
seen=
for _ in $(seq 30); do
    rm -f "$save/Mnemora "*.bmp
    press F2
    sleep 1.1
    taken=("$save/Mnemora "*.bmp)
    [[ ${#taken[@]} -gt 0 ]] || continue
    convert "${taken[0]}" -alpha off "$out_dir/installed-main-menu.png"
    pixels=$(compare -metric AE -fuzz 3% "$out_dir/installed-main-menu.png" "$shots/main-menu.png" null: 2>&1 || true)
    if [[ ${pixels%% *} =~ ^[0-9]+$ && ${pixels%% *} -lt 2000 ]]; then seen=1; break; fi
done
[[ -n $seen ]] || fail "the main menu was not seen (last screenshot in $out_dir/installed-main-menu.png)"
rm -f "$save/Mnemora "*.bmp
for _ in $(seq 20); do
    kill -0 "$game_pid" 2>/dev/null || break
    press Escape  # quits from the main menu
    sleep 0.5
done
wait_for_quit 0 || fail "the game did not quit on Escape"
[[ $game_status -eq 0 ]] || fail "the game ended with $game_status: $(cat "$work/stderr.txt")"
stop_xvfb

expected=$'\xEF\xBB\xBF\r\n; Mnemora Preferences\r\n[Settings]\r\nLanguage = en_GB\r\nMusic = 1\r\nGameScreen = 2\r\nResolution = 1\r\nSounds = 1\r\nMusicVolume = 60\r\nCompleted = 0\r\n'
[[ "$(cat "$save/Mnemora.prefs"; printf x)" == "${expected}x" ]] ||
    fail "settings file in the user folder differs: $(od -c "$save/Mnemora.prefs" | head)"
[[ $(tr -d '\r' <"$save/Mnemora.scores" | wc -l) -eq 12 ]] || fail "no progress file in the user folder"
[[ $(stat -c %u "$save/Mnemora.prefs") -eq $player ]] || fail "the settings file is not the player's"
[[ "$(cat "$planted")" == $'[Settings]\r\nLanguage = de_DE\r\nGameScreen = 1\r' ]] ||
    fail "the settings file beside the installed program was changed"

# ---- Remove -------------------------------------------------------------------------

purge
dpkg-query -W -f='${Status}' mnemora 2>/dev/null | grep -qv 'not-installed' && fail "mnemora is still known to dpkg"
for path in "${owned[@]}"; do
    [[ -d $path && ! -L $path ]] && continue  # shared folders such as /usr/share/icons stay
    [[ -e $path || -L $path ]] && fail "left after purge: $path"
done
for folder in /usr/lib/games/mnemora /usr/share/games/mnemora /usr/share/doc/mnemora; do
    [[ -e $folder ]] && fail "left after purge: $folder"
done
[[ "$(listing)" == "$snapshot_before" ]] || fail "purge left folders behind"
left=$(find / -xdev \( -path /proc -o -path /sys -o -path /work -o -path "$home" \) -prune -o \
    -uid "$player" -print 2>/dev/null || true)
[[ -z $left ]] || fail "the player's game left files outside the home: $left"
echo "package e2e: OK (installed main menu in $out_dir/installed-main-menu.png)"
