# Shared set-up for run.sh and test.sh: flavour, packages, build, display and
# Wine prefix. Sourced, not run. Everything here is idempotent and quick when
# already done.

ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
BUILD="$ROOT/build"            # the 32-bit tree; its dist/ is the release set
BUILD_X64="$BUILD/x64"         # the 64-bit tree; its program lands in build/dist-x64
KELDRIN_WINE="$ROOT/scripts/keldrin-wine"
export WINEDEBUG=${WINEDEBUG:--all}   # a caller may ask for a trace
export WINEDLLOVERRIDES="mscoree,mshtml="
# Wine names files after Windows names in the locale's character set: under
# the C locale (a fresh root shell may have no LANG) a Japanese task name
# cannot become a file, and the Task Scheduler answers "File not found".
case "${LC_ALL:-}" in C | POSIX) unset LC_ALL ;; esac
case "${LANG:-}" in "" | C | POSIX) export LANG=C.UTF-8 ;; esac

# Both flavours are always built (the static checks read the 32-bit set), so
# both cross compilers are needed; only the Wine that can run comes with them.
# The icons are drawn from src/app/icon/keldrin.svg at build time: rsvg-convert
# (librsvg2-bin) renders each size, icotool (icoutils) packs the .ico files.
APT_COMMON="cmake make mingw-w64 g++-mingw-w64-i686 g++-mingw-w64-x86-64 wine wine64 xvfb xauth
  xdotool x11-utils imagemagick fp-utils-3.2.2 fonts-noto-cjk fonts-wine googletest python3 zip unzip p7zip-full
  librsvg2-bin icoutils"
APT_X86="wine32:i386"

# Whether this kernel starts 32-bit x86 programs at all. Machines of this kind
# may have ia32 emulation switched off, and then the 32-bit Wine loader fails
# with "Exec format error". When wine32 is installed, its loader is started;
# before that, a 93-byte 32-bit ELF program that only exits stands in for it,
# so that wine32:i386 is not installed where it could never run.
can_run_32bit() {
    if [ -x /usr/lib/wine/wine ]; then
        /usr/lib/wine/wine --version >/dev/null 2>&1
        return
    fi
    local probe rc
    mkdir -p "$BUILD" && probe=$(mktemp -p "$BUILD" elf32probe.XXXXXX)
    # ELF header, one loadable segment, then: xor ebx,ebx; mov eax,1; int 0x80
    printf '\177ELF\001\001\001\000\000\000\000\000\000\000\000\000\002\000\003\000\001\000\000\000\124\200\004\010\064\000\000\000\000\000\000\000\000\000\000\000\064\000\040\000\001\000\000\000\000\000\000\000\001\000\000\000\000\000\000\000\000\200\004\010\000\200\004\010\135\000\000\000\135\000\000\000\005\000\000\000\000\020\000\000\061\333\270\001\000\000\000\315\200' >"$probe"
    chmod +x "$probe"
    "$probe" >/dev/null 2>&1 && rc=0 || rc=1
    rm -f "$probe"
    return $rc
}

# Sets KELDRIN_ARCH (x86 or x64) and KELDRIN_ARCH_WHY once. KELDRIN_ARCH given
# by the caller is honoured, but x86 on a machine that cannot run it stops here.
choose_flavour() {
    [ -n "${KELDRIN_ARCH_WHY:-}" ] && return 0
    local can32=no
    can_run_32bit && can32=yes
    case "${KELDRIN_ARCH:-}" in
        x86)
            if [ $can32 = no ]; then
                echo "KELDRIN_ARCH=x86: this machine cannot run 32-bit programs (its kernel refuses 32-bit executables), so the 32-bit flavour cannot run here; use KELDRIN_ARCH=x64 or leave it unset" >&2
                return 1
            fi
            KELDRIN_ARCH_WHY="KELDRIN_ARCH=x86 was asked for" ;;
        x64) KELDRIN_ARCH_WHY="KELDRIN_ARCH=x64 was asked for" ;;
        "")
            if [ $can32 = yes ]; then
                KELDRIN_ARCH=x86
                KELDRIN_ARCH_WHY="this machine runs 32-bit programs"
            else
                KELDRIN_ARCH=x64
                KELDRIN_ARCH_WHY="this machine cannot run 32-bit programs"
            fi ;;
        *)
            echo "KELDRIN_ARCH must be x86 or x64, not '$KELDRIN_ARCH'" >&2
            return 1 ;;
    esac
    export KELDRIN_ARCH KELDRIN_ARCH_WHY
    if [ "$KELDRIN_ARCH" = x86 ]; then
        FLAVOUR_BUILD=$BUILD
        FLAVOUR_DIST=$BUILD/dist
    else
        FLAVOUR_BUILD=$BUILD_X64
        FLAVOUR_DIST=$BUILD/dist-x64
    fi
    # A prefix per flavour: one made by the 64-bit loader alone cannot run
    # 32-bit programs later, and the harness wants it inside its build tree.
    export WINEPREFIX="$FLAVOUR_BUILD/wineprefix"
}

wine_() { "$KELDRIN_WINE" "$@"; }

ensure_packages() {
    local missing=() p wanted=$APT_COMMON
    if [ "$KELDRIN_ARCH" = x86 ]; then
        wanted="$wanted $APT_X86"
        if ! dpkg --print-foreign-architectures | grep -qx i386; then
            if [ "$(id -u)" = 0 ]; then dpkg --add-architecture i386; fi
        fi
    fi
    for p in $wanted; do
        dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
    done
    [ ${#missing[@]} -eq 0 ] && return 0
    echo "Installing: ${missing[*]}"
    if [ "$(id -u)" != 0 ]; then
        echo "Packages are missing and this is not root: ${missing[*]}" >&2
        return 1
    fi
    apt-get update -qq
    DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
    # The stand-in said yes; the real loader has the last word.
    if [ "$KELDRIN_ARCH" = x86 ] && ! /usr/lib/wine/wine --version >/dev/null 2>&1; then
        echo "The 32-bit Wine loader does not start on this machine; run with KELDRIN_ARCH=x64" >&2
        return 1
    fi
}

# The 32-bit tree always (the release set and its static checks), the 64-bit
# tree beside it when that flavour is the one to run.
build_project() {
    (cd "$ROOT" && cmake --preset x86 >/dev/null && cmake --build --preset x86 -j "$(nproc)")
    if [ "$KELDRIN_ARCH" = x64 ]; then
        (cd "$ROOT" && cmake --preset x64 >/dev/null && cmake --build --preset x64 -j "$(nproc)")
    fi
}

# Starts Xvfb on a free display and prints its name; the caller keeps the pid
# from XVFB_STARTED for stop_wine. KELDRIN_SCREEN sets its size (1024x768x24).
start_xvfb() {
    local n i
    for n in $(seq 90 130); do
        [ -e "/tmp/.X11-unix/X$n" ] || [ -e "/tmp/.X$n-lock" ] || break
    done
    Xvfb ":$n" -screen 0 "${KELDRIN_SCREEN:-1024x768x24}" -nolisten tcp >/dev/null 2>&1 &
    XVFB_PIDS="${XVFB_PIDS:-} $!"
    for i in $(seq 1 100); do
        if DISPLAY=":$n" xdpyinfo >/dev/null 2>&1; then
            STARTED_DISPLAY=":$n"
            return 0
        fi
        sleep 0.1
    done
    echo "Xvfb did not start on :$n" >&2
    return 1
}

# Xvfb on a free display when none is given; stop_wine ends it.
ensure_display() {
    if [ -n "${DISPLAY:-}" ] && xdpyinfo >/dev/null 2>&1; then return 0; fi
    start_xvfb || return 1
    export DISPLAY=$STARTED_DISPLAY
}

# The flavour's own prefix, never ~/.wine; created once, then kept warm by a
# persistent wineserver so every later wine command starts quickly. With an
# argument, that prefix (the tests' second lane) instead of $WINEPREFIX.
ensure_prefix() {
    local WINEPREFIX=${1:-$WINEPREFIX}
    export WINEPREFIX
    PREFIXES_STARTED="${PREFIXES_STARTED:-} $WINEPREFIX"
    if [ ! -f "$WINEPREFIX/system.reg" ]; then
        mkdir -p "$WINEPREFIX"
        wine_ wineboot -i >/dev/null 2>&1
        wine_ wineserver -w
    fi
    # Wine links the user's Desktop, Documents … to the Unix home folder; the
    # tests write shortcuts there, so the prefix gets folders of its own.
    local link
    for link in "$WINEPREFIX"/drive_c/users/*/*; do
        if [ -L "$link" ]; then rm -f "$link" && mkdir -p "$link"; fi
    done
    wine_ wineserver -p >/dev/null 2>&1 || true
    # Every saved shortcut would start winemenubuilder, which writes menu
    # entries and icons into the Unix home folder.
    if ! grep -q '"winemenubuilder.exe"=""' "$WINEPREFIX/user.reg" 2>/dev/null; then
        wine_ reg add 'HKCU\Software\Wine\DllOverrides' /v winemenubuilder.exe /t REG_SZ /d '' /f >/dev/null 2>&1
    fi
    # Xvfb has no window manager: a managed window then waits 2 s for one on
    # every hide, which makes each dialog test seconds slower.
    if ! grep -q '"Managed"="N"' "$WINEPREFIX/user.reg" 2>/dev/null; then
        wine_ reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /t REG_SZ /d N /f >/dev/null 2>&1
    fi
    # Wine has no "MS UI Gothic", the face the Japanese dialogs ask for; without
    # a replacement it falls back to a font with no Japanese glyphs.
    if ! grep -q '"MS UI Gothic"="Noto Sans CJK JP"' "$WINEPREFIX/user.reg" 2>/dev/null; then
        wine_ reg add 'HKCU\Software\Wine\Fonts\Replacements' /v 'MS UI Gothic' /t REG_SZ \
            /d 'Noto Sans CJK JP' /f >/dev/null 2>&1
    fi
    # Wine draws the caption buttons (minimise, maximise, close) with Marlett;
    # a prefix without it shows them as the letters "0", "1" and "r". Only
    # Marlett is copied from Wine's own fonts (package fonts-wine): the dialogs
    # keep the fonts they have, and with them the sizes the text-fit tests measure.
    local marlett=/usr/share/wine/fonts/marlett.ttf fonts="$WINEPREFIX/drive_c/windows/Fonts"
    if [ -f "$marlett" ] && [ ! -f "$fonts/marlett.ttf" ]; then
        mkdir -p "$fonts" && cp "$marlett" "$fonts/"
    fi
    # The first program of a prefix starts Wine's services, which live on with
    # the persistent server and keep its output open: started here, they hold
    # /dev/null rather than a pipe of CTest's, which would then never close.
    wine_ cmd /c exit </dev/null >/dev/null 2>&1 || true
}

# Safe at any point: ends only what this shell started.
stop_wine() {
    local prefix pid
    for prefix in ${PREFIXES_STARTED:-}; do
        WINEPREFIX=$prefix wine_ wineserver -k >/dev/null 2>&1 || true
    done
    for pid in ${XVFB_PIDS:-}; do kill "$pid" 2>/dev/null || true; done
}

# The tests run in three lanes at once (CTest's resource locks keep each
# lane's tests one after another): the second and the third have a prefix and
# a display of their own, so that their windows, registry values and desktops
# never meet each other's or the first's.
prepare_second_lane() {
    start_xvfb || return 1
    export KELDRIN_DISPLAY_B=$STARTED_DISPLAY
    DISPLAY=$KELDRIN_DISPLAY_B ensure_prefix "$FLAVOUR_BUILD/wineprefix-b"
    start_xvfb || return 1
    export KELDRIN_DISPLAY_C=$STARTED_DISPLAY
    DISPLAY=$KELDRIN_DISPLAY_C ensure_prefix "$FLAVOUR_BUILD/wineprefix-c"
}

# Everything run.sh and test.sh need before they start Wine. The clean-up is
# set first, so a failure anywhere in here leaves no Xvfb or wineserver behind.
prepare_all() {
    trap stop_wine EXIT
    choose_flavour
    ensure_packages
    build_project
    ensure_display
    ensure_prefix
}
