# Shared set-up for run.sh and test.sh: packages, build, display and Wine prefix.
# Sourced, not run. Everything here is idempotent and quick when already done.

ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
BUILD="$ROOT/build"
export WINEPREFIX="$BUILD/wineprefix"
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="

APT_PACKAGES="cmake make mingw-w64 g++-mingw-w64-i686 wine wine32:i386 wine64 xvfb xauth
  xdotool x11-utils imagemagick fp-utils-3.2.2 fonts-noto-cjk fonts-wine googletest python3 zip unzip p7zip-full"

ensure_packages() {
    local missing=() p
    if ! dpkg --print-foreign-architectures | grep -qx i386; then
        dpkg --add-architecture i386
        APT_UPDATED=
    fi
    for p in $APT_PACKAGES; do
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
}

build_project() {
    cmake -S "$ROOT" -B "$BUILD" -DCMAKE_TOOLCHAIN_FILE="$ROOT/cmake/mingw-i686.cmake" \
        -DCMAKE_BUILD_TYPE=Release >/dev/null
    cmake --build "$BUILD" -j "$(nproc)"
}

# Xvfb on a free display when none is given. The server dies with the shell.
ensure_display() {
    if [ -n "${DISPLAY:-}" ] && xdpyinfo >/dev/null 2>&1; then return 0; fi
    local n
    for n in $(seq 90 120); do
        [ -e "/tmp/.X11-unix/X$n" ] || [ -e "/tmp/.X$n-lock" ] || break
    done
    Xvfb ":$n" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
    XVFB_PID=$!
    export DISPLAY=":$n"
    local i
    for i in $(seq 1 100); do
        xdpyinfo >/dev/null 2>&1 && return 0
        sleep 0.1
    done
    echo "Xvfb did not start on $DISPLAY" >&2
    return 1
}

# The project's own prefix, never ~/.wine; created once, then kept warm by a
# persistent wineserver so every later wine command starts quickly.
ensure_prefix() {
    if [ ! -f "$WINEPREFIX/system.reg" ]; then
        mkdir -p "$WINEPREFIX"
        wineboot -i >/dev/null 2>&1
        wineserver -w
    fi
    # Wine links the user's Desktop, Documents … to the Unix home folder; the
    # tests write shortcuts there, so the prefix gets folders of its own.
    local link
    for link in "$WINEPREFIX"/drive_c/users/*/*; do
        if [ -L "$link" ]; then rm -f "$link" && mkdir -p "$link"; fi
    done
    wineserver -p >/dev/null 2>&1 || true
    # Every saved shortcut would start winemenubuilder, which writes menu
    # entries and icons into the Unix home folder.
    if ! grep -q '"winemenubuilder.exe"=""' "$WINEPREFIX/user.reg" 2>/dev/null; then
        wine reg add 'HKCU\Software\Wine\DllOverrides' /v winemenubuilder.exe /t REG_SZ /d '' /f >/dev/null 2>&1
    fi
    # Xvfb has no window manager: a managed window then waits 2 s for one on
    # every hide, which makes each dialog test seconds slower.
    if ! grep -q '"Managed"="N"' "$WINEPREFIX/user.reg" 2>/dev/null; then
        wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /t REG_SZ /d N /f >/dev/null 2>&1
    fi
    # Wine has no "MS UI Gothic", the face the Japanese dialogs ask for; without
    # a replacement it falls back to a font with no Japanese glyphs.
    if ! grep -q '"MS UI Gothic"="Noto Sans CJK JP"' "$WINEPREFIX/user.reg" 2>/dev/null; then
        wine reg add 'HKCU\Software\Wine\Fonts\Replacements' /v 'MS UI Gothic' /t REG_SZ \
            /d 'Noto Sans CJK JP' /f >/dev/null 2>&1
    fi
    # The first program of a prefix starts Wine's services, which live on with
    # the persistent server and keep its output open: started here, they hold
    # /dev/null rather than a pipe of CTest's, which would then never close.
    wine cmd.exe /c exit </dev/null >/dev/null 2>&1 || true
}

stop_wine() {
    wineserver -k >/dev/null 2>&1 || true
    if [ -n "${XVFB_PID:-}" ]; then kill "$XVFB_PID" 2>/dev/null || true; fi
}

# Everything run.sh and test.sh need before they start Wine.
prepare_all() {
    ensure_packages
    build_project
    ensure_display
    ensure_prefix
}
