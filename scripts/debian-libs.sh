# Sourced by scripts/windows-libs and scripts/web-libs: builds the game's
# libraries from Debian 12's own source packages, at the versions in
# packaging/windows/versions, as static libraries in a cache prefix outside
# the tree. The caller sets
#
#   tool        its name, for messages
#   cache       the folder its prefixes go in
#   key         what the libraries are built from, hashed (debian_libs_key)
#   cmake_command, cmake_args
#               how a CMake project is configured for its platform
#
# and may define build_<name> for a library whose build differs from the
# shared one below, or give one extra CMake options in extra_args[<name>].
# Then debian_libs_build prints the prefix, building it first when it is not
# complete yet. Everything is reported on stderr; the only line on stdout is
# the prefix, so a caller of the script can write prefix=$(scripts/...-libs).
#
# The sources come through `apt-get source` with a private deb-src list and
# private apt state in a sources folder shared by every platform: the
# machine's /etc/apt and /var/lib/apt are left as they were.

debian_libs_root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
versions=$debian_libs_root/packaging/windows/versions
sources=${MNEMORA_SOURCES_CACHE:-${XDG_CACHE_HOME:-$HOME/.cache}/mnemora/sources}
jobs=${JOBS:-$(nproc)}
declare -A extra_args=()

say() { echo "$tool: $*" >&2; }

# The key of the given inputs (files, or text on stdin after "-"): the
# versions file and this file always count, so a change to either rebuilds.
debian_libs_key() {
    cat "$versions" "${BASH_SOURCE[0]}" "$@" | sha256sum | cut -c1-16
}

# Source package name -> version, in build order.
declare -a names=()
declare -A version=()
while read -r name ver; do
    [[ -z $name || $name == \#* ]] && continue
    names+=("$name")
    version[$name]=$ver
done <"$versions"

# --- sources -----------------------------------------------------------------

# A package counts as fetched when its .dsc and every file the .dsc lists are
# there (an interrupted download leaves some out).
fetched() {
    local dsc=$1 f
    [[ -f $dsc ]] || return 1
    for f in $(awk '/^Files:/ {on = 1; next} /^[^ ]/ {on = 0} on {print $3}' "$dsc"); do
        [[ -f $sources/$f ]] || return 1
    done
}

fetch_sources() {
    local apt_dir=$sources/.apt name ver
    mkdir -p "$apt_dir/lists/partial" "$apt_dir/cache/archives/partial"
    # Two platforms' builds at once would download into the same folder.
    exec 8>"$sources/.lock"
    flock 8
    local missing=()
    for name in "${names[@]}"; do
        ver=${version[$name]}
        fetched "$sources/${name}_${ver#*:}.dsc" || missing+=("$name=$ver")
    done
    if [[ ${#missing[@]} -eq 0 ]]; then
        exec 8>&-
        return 0
    fi
    # The same mirrors as the machine's binary sources, as deb-src; Debian's
    # default mirrors when the machine has no deb822 list.
    local system_sources=/etc/apt/sources.list.d/debian.sources uri_suites
    if [[ -f $system_sources ]] && grep -q '^Types: deb$' "$system_sources"; then
        sed 's/^Types: deb$/Types: deb-src/' "$system_sources" >"$apt_dir/sources.sources"
    else
        for uri_suites in "http://deb.debian.org/debian|bookworm bookworm-updates" \
            "http://deb.debian.org/debian-security|bookworm-security"; do
            echo "Types: deb-src"
            echo "URIs: ${uri_suites%%|*}"
            echo "Suites: ${uri_suites#*|}"
            echo "Components: main"
            echo "Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg"
            echo
        done >"$apt_dir/sources.sources"
    fi
    local apt_opts=(
        -o "Dir::Etc::SourceList=$apt_dir/sources.sources"
        -o Dir::Etc::SourceParts=/dev/null
        -o "Dir::State::Lists=$apt_dir/lists"
        -o "Dir::Cache=$apt_dir/cache"
        -o Debug::NoLocking=1
        # The private lists are root's files; apt's sandbox user could not write them.
        -o APT::Sandbox::User=root
    )
    say "fetching ${missing[*]}"
    apt-get "${apt_opts[@]}" -qq update >&2
    (cd "$sources" && apt-get "${apt_opts[@]}" -qq source --download-only "${missing[@]}") >&2
    exec 8>&-
}

# --- build -------------------------------------------------------------------

# Configure, build (all or the given targets) and install one CMake project.
cmake_build() {
    local src=$1 build=$2
    shift 2
    local targets=()
    local args=()
    for a in "$@"; do
        if [[ $a == --target=* ]]; then targets+=(--target "${a#--target=}"); else args+=("$a"); fi
    done
    "${cmake_command[@]}" -S "$src" -B "$build" -G Ninja -Wno-dev "${cmake_args[@]}" \
        -DCMAKE_INSTALL_PREFIX="$prefix" -DBUILD_SHARED_LIBS=OFF -DBUILD_TESTING=OFF \
        "${args[@]}" >"$build.configure.log" 2>&1 || {
        tail -40 "$build.configure.log" >&2
        return 1
    }
    cmake --build "$build" -j "$jobs" "${targets[@]}" >"$build.build.log" 2>&1 || {
        tail -40 "$build.build.log" >&2
        return 1
    }
}

build_zlib() {
    # Only the static library; the shared one zlib's CMake always adds is not built.
    cmake_build "$1" "$2" --target=zlibstatic -DZLIB_BUILD_EXAMPLES=OFF "${@:3}"
    install -Dm644 "$1/zlib.h" "$prefix/include/zlib.h"
    install -Dm644 "$2/zconf.h" "$prefix/include/zconf.h"
    install -Dm644 "$2/libzlibstatic.a" "$prefix/lib/libz.a"
    install -Dm644 "$2/zlib.pc" "$prefix/lib/pkgconfig/zlib.pc"
}

build_libpng1.6() {
    cmake_build "$1" "$2" -DPNG_SHARED=OFF -DPNG_STATIC=ON -DPNG_EXECUTABLES=OFF \
        -DPNG_TESTS=OFF -Dld-version-script=OFF -DSKIP_INSTALL_PROGRAMS=ON \
        -DSKIP_INSTALL_FILES=OFF "${@:3}"
    cmake --install "$2" >/dev/null
}

build_freetype() {
    cmake_build "$1" "$2" -DFT_DISABLE_HARFBUZZ=ON -DFT_DISABLE_BZIP2=ON \
        -DFT_DISABLE_PNG=ON -DFT_DISABLE_BROTLI=ON -DFT_REQUIRE_ZLIB=ON "${@:3}"
    cmake --install "$2" >/dev/null
}

build_libogg() {
    cmake_build "$1" "$2" -DINSTALL_DOCS=OFF "${@:3}"
    cmake --install "$2" >/dev/null
}

build_libvorbis() {
    cmake_build "$1" "$2" "${@:3}"
    cmake --install "$2" >/dev/null
}

build_libarchive() {
    # ZIP reading with zlib's inflate is all the game asks of it: no crypto,
    # no other compressors, no XML, no iconv, no tools, no tests. Only the
    # static library is built (the shared one is always configured too).
    cmake_build "$1" "$2" --target=archive_static \
        -DENABLE_OPENSSL=OFF -DENABLE_MBEDTLS=OFF -DENABLE_NETTLE=OFF -DENABLE_CNG=OFF \
        -DENABLE_LIBB2=OFF -DENABLE_LZ4=OFF -DENABLE_LZO=OFF -DENABLE_LZMA=OFF \
        -DENABLE_ZSTD=OFF -DENABLE_ZLIB=ON -DENABLE_BZip2=OFF -DENABLE_LIBXML2=OFF \
        -DENABLE_EXPAT=OFF -DENABLE_WIN32_XMLLITE=OFF -DENABLE_PCREPOSIX=OFF \
        -DENABLE_PCRE2POSIX=OFF -DENABLE_LIBGCC=OFF -DPOSIX_REGEX_LIB=NONE -DENABLE_TAR=OFF -DENABLE_CPIO=OFF \
        -DENABLE_CAT=OFF -DENABLE_XATTR=OFF -DENABLE_ACL=OFF -DENABLE_ICONV=OFF \
        -DENABLE_TEST=OFF -DENABLE_WERROR=OFF "${@:3}"
    install -Dm644 "$1/libarchive/archive.h" "$prefix/include/archive.h"
    install -Dm644 "$1/libarchive/archive_entry.h" "$prefix/include/archive_entry.h"
    # The static library is libarchive_static.a where the shared one is a DLL.
    local lib=$2/libarchive/libarchive_static.a
    [[ -f $lib ]] || lib=$2/libarchive/libarchive.a
    install -Dm644 "$lib" "$prefix/lib/libarchive.a"
    install -Dm644 "$2/build/pkgconfig/libarchive.pc" "$prefix/lib/pkgconfig/libarchive.pc"
}

debian_libs_build() {
    prefix=$cache/$key
    mkdir -p "$cache" "$sources"
    # Two builds at once (two makes in parallel) would fight over the prefix:
    # the second waits for the first and then finds it done.
    exec 9>"$cache/.lock"
    flock 9
    if [[ ! -f $prefix/.complete ]]; then
        fetch_sources
        build_all
    fi
    # The prefix as its real path: a key folder may be a link to the same
    # libraries built under an earlier key.
    (cd "$prefix" && pwd -P)
}

build_all() {
    local work=$cache/build-$key name ver start took src lic f
    rm -rf "$prefix" "$work"
    mkdir -p "$prefix" "$work"
    local times=$prefix/build-times.txt
    : >"$times"
    export PKG_CONFIG_LIBDIR=$prefix/lib/pkgconfig PKG_CONFIG_PATH= PKG_CONFIG_SYSROOT_DIR=
    export CCACHE_DISABLE=1

    local total_start=$SECONDS
    for name in "${names[@]}"; do
        ver=${version[$name]}
        start=$SECONDS
        src=$work/src-$name
        say "building $name $ver"
        dpkg-source --no-copy -x "$sources/${name}_${ver#*:}.dsc" "$src" >"$work/$name.extract.log" 2>&1 || {
            tail -20 "$work/$name.extract.log" >&2
            exit 1
        }
        # shellcheck disable=SC2086 # the extra options are words
        "build_$name" "$src" "$work/build-$name" ${extra_args[$name]:-}
        # The game links these statically, so it carries their licences: Debian's
        # copyright file and the upstream licence texts.
        lic=$prefix/share/licenses/$name
        install -Dm644 "$src/debian/copyright" "$lic/copyright"
        for f in "$src"/LICENSE* "$src"/COPYING* "$src"/docs/FTL.TXT; do
            [[ -f $f ]] && install -m644 "$f" "$lic/"
        done
        took=$((SECONDS - start))
        say "built $name in ${took}s"
        printf '%-12s %-28s %5ds\n' "$name" "$ver" "$took" >>"$times"
    done
    printf '%-12s %-28s %5ds\n' total "" $((SECONDS - total_start)) >>"$times"
    cp "$versions" "$prefix/versions"
    rm -rf "$work"
    touch "$prefix/.complete"
    say "libraries ready in $prefix ($((SECONDS - total_start))s)"
}
