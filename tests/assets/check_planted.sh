#!/usr/bin/env bash
# mnemora-check must fail on each kind of fault a translation can bring: a
# missing key, a caption too long for its button, and a character that neither
# the game's face nor its companion face has. Each is planted in a copy of the
# built game folder's languages, beside the real data pack; the real folder
# itself must pass.
set -euo pipefail
check=${1:?mnemora-check} game=${2:?game folder}
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
status=0

# A game folder of the real pack and en_GB, with one planted language file made
# from en_GB by the sed expression given.
plant() {
    local name=$1 expression=$2
    rm -rf "$scratch/game"
    mkdir -p "$scratch/game/Mnemora.languages"
    ln -s "$(realpath "$game/Mnemora.data")" "$scratch/game/Mnemora.data"
    cp "$game/Mnemora.languages/en_GB.language" "$scratch/game/Mnemora.languages/"
    sed -e "$expression" -e 's/^tLangFileNAME = .*/tLangFileNAME = Planted/' \
        "$game/Mnemora.languages/en_GB.language" >"$scratch/game/Mnemora.languages/$name.language"
}

expect_failure() {
    local what=$1 pattern=$2 output
    if output=$("$check" "$scratch/game" 2>&1); then
        echo "FAILED: mnemora-check passed $what"; status=1; return
    fi
    if ! grep -q -- "$pattern" <<<"$output"; then
        echo "FAILED: $what not reported as \"$pattern\":"; echo "$output"; status=1; return
    fi
    echo "ok: $what: $(grep -m1 -- "$pattern" <<<"$output")"
}

plant xx_MK '/^tQuitNO = /d'
expect_failure "a missing key" "xx_MK: key tQuitNO is missing"

plant xx_LC 's/^tMenuSTART = .*/tMenuSTART = START THE GAME RIGHT NOW/'
expect_failure "a too-long caption" "xx_LC caption tMenuSTART: .* px wide"

# U+0531 ARMENIAN CAPITAL LETTER AYB: in neither face.
armenian=$(printf '\xd4\xb1')
plant xx_MG "s/^tMenuHELP = .*/tMenuHELP = $armenian/"
expect_failure "a missing glyph" "xx_MG: tMenuHELP uses U+0531, which neither face has"

if ! output=$("$check" "$game" 2>&1); then
    echo "FAILED: the real game folder does not pass:"; echo "$output"; status=1
fi
exit $status
