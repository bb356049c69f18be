#!/usr/bin/env bash
# Makes the README screenshots in docs/screenshots/ from the built program
# under Wine on a virtual display: the main dialog in Japanese and English,
# the countdown in the ordinary and the Windows 8 look, and the select
# dialog. Each picture is cropped to its window.
#   scripts/screenshots.sh           builds first; the flavour as for run.sh
# Nothing is ever performed: every dialog is photographed and then ended.
set -euo pipefail
source "$(dirname "$0")/common.sh"

trap stop_wine EXIT
choose_flavour
ensure_packages
build_project

OUT="$ROOT/docs/screenshots"
SCRATCH="$FLAVOUR_BUILD/screenshots"
# A prefix of its own: the fonts and settings below stay out of the tests' prefix.
export WINEPREFIX="$FLAVOUR_BUILD/screenshots-prefix"
APP_VERSION_KEY='HKCU\Software\Wine\AppDefaults\Keldrin.exe'
mkdir -p "$OUT"
rm -rf "$SCRATCH"
mkdir -p "$SCRATCH"

KELDRIN_PID=
cleanup() {
    if [ -n "$KELDRIN_PID" ]; then kill "$KELDRIN_PID" 2>/dev/null || true; fi
    wine_ reg delete "$APP_VERSION_KEY" /f >/dev/null 2>&1 || true
    stop_wine
}
trap cleanup EXIT

# Wine draws the caption buttons with Marlett, and Windows shows English
# dialogs in Tahoma; without Wine's own fonts (package fonts-wine) the buttons
# come out as letters. Taken from the package file when it is not installed.
install_wine_fonts() {
    local source=/usr/share/wine/fonts fonts="$WINEPREFIX/drive_c/windows/Fonts" unpacked= font
    if [ ! -f "$source/marlett.ttf" ]; then
        unpacked=$(mktemp -d)
        chmod 755 "$unpacked"
        if (cd "$unpacked" && apt-get download fonts-wine >/dev/null 2>&1 && dpkg-deb -x fonts-wine_*.deb .); then
            source="$unpacked/usr/share/wine/fonts"
        else
            echo "fonts-wine not available: caption buttons will show as letters" >&2
        fi
    fi
    mkdir -p "$fonts"
    for font in marlett.ttf tahoma.ttf; do
        if [ -f "$source/$font" ]; then cp "$source/$font" "$fonts/"; fi
    done
    if [ -n "$unpacked" ]; then rm -rf "$unpacked"; fi
}

ensure_display
ensure_prefix
install_wine_fonts
# Captions and menus are drawn in Tahoma, which has no Japanese: Windows
# links a Japanese font behind it, and so does this prefix, or the title
# "あと 42 秒" would show boxes.
wine_ reg add 'HKLM\Software\Microsoft\Windows NT\CurrentVersion\FontLink\SystemLink' /v Tahoma \
    /t REG_MULTI_SZ /d 'NotoSansCJK-Regular.ttc,Noto Sans CJK JP' /f >/dev/null 2>&1
# Wine then draws the window frames itself; Xvfb has no window manager to do it.
wine_ reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1

# A program folder with one language module and remembered choices that
# make a telling picture: shut down after 30 minutes.
program_folder() {
    local name=$1 module=$2 folder="$SCRATCH/$1"
    mkdir -p "$folder"
    cp "$FLAVOUR_DIST/Keldrin.exe" "$FLAVOUR_DIST/$module" "$folder/"
    printf '[Keldrin]\r\nPowerOperation=1\r\nPowerDestination=0\r\nPowerSelection=1\r\nPowerWaitMin=30\r\nPowerWaitSec=0\r\n' \
        > "$folder/Keldrin-$(id -un).ini"
    echo "$folder"
}

# shoot FILE FOLDER [ARGUMENTS...]: starts the program, waits for its window,
# lets it paint (the countdown's first tick comes after 100 ms), saves the
# window's picture and ends the program.
shoot() {
    local file=$1 folder=$2
    shift 2
    start_keldrin "$folder" "$@" || return 1
    import -window "$WINDOW" "$OUT/$file"
    end_keldrin "$file"
}

# start_keldrin FOLDER [ARGUMENTS...]: starts the program and sets WINDOW to
# its window once it has painted (the countdown's first tick comes after 100 ms).
start_keldrin() {
    local folder=$1
    shift
    (cd "$folder" && exec "$KELDRIN_WINE" Keldrin.exe "$@") >/dev/null 2>&1 &
    KELDRIN_PID=$!
    WINDOW=$(timeout 30 xdotool search --sync --onlyvisible --name '(^| - )Keldrin$' | head -n 1) || true
    if [ -z "$WINDOW" ]; then
        echo "no Keldrin window for $*" >&2
        return 1
    fi
    sleep 1.5
}

# end_keldrin FILE: ends the program and reports the picture taken.
end_keldrin() {
    kill "$KELDRIN_PID" 2>/dev/null || true
    wait "$KELDRIN_PID" 2>/dev/null || true
    KELDRIN_PID=
    # The next window must not be mistaken for this one.
    timeout 10 sh -c "while xdotool search --onlyvisible --name '(^| - )Keldrin\$' >/dev/null 2>&1; do sleep 0.1; done" || true
    echo "$OUT/$1: $(identify -format '%wx%h' "$OUT/$1")"
}

# shoot_menu FILE FOLDER [ARGUMENTS...]: the countdown with its window menu
# open (Alt+Space), cut from the whole screen: the menu is a window of its own.
shoot_menu() {
    local file=$1 folder=$2 x y w h
    shift 2
    start_keldrin "$folder" "$@" || return 1
    xdotool key --window "$WINDOW" alt+space
    sleep 1
    eval "$(xdotool getwindowgeometry --shell "$WINDOW" | sed 's/^/local /')"
    x=$((X > 4 ? X - 4 : 0)); y=$((Y > 30 ? Y - 30 : 0)); w=$((WIDTH + 260)); h=$((HEIGHT + 260))
    import -window root -crop "${w}x${h}+${x}+${y}" +repage "$OUT/$file"
    xdotool key --window "$WINDOW" Escape
    end_keldrin "$file"
}

# shoot_last_minute FILE FOLDER: a countdown of 63 s minimised over another
# window (Wine's Notepad stands for the user's), photographed once it has
# come back by itself for its last minute; cut to the two windows.
shoot_last_minute() {
    local file=$1 folder=$2 notepad left top right bottom
    (exec "$KELDRIN_WINE" notepad.exe) >/dev/null 2>&1 &
    local notepad_pid=$!
    notepad=$(timeout 30 xdotool search --sync --onlyvisible --name 'Notepad' | head -n 1) || true
    start_keldrin "$folder" --shutdown --wait 63 || return 1
    # Without a window manager Wine minimises through its own window menu.
    xdotool key --window "$WINDOW" alt+space
    sleep 0.5
    xdotool key --window "$WINDOW" n
    sleep 4.5
    eval "$(xdotool getwindowgeometry --shell "$WINDOW" | sed 's/^/local /')"
    left=$X; top=$Y; right=$((X + WIDTH)); bottom=$((Y + HEIGHT))
    if [ -n "$notepad" ]; then
        eval "$(xdotool getwindowgeometry --shell "$notepad" | sed 's/^/local /')"
        left=$((X < left ? X : left)); top=$((Y < top ? Y : top))
        right=$((X + WIDTH > right ? X + WIDTH : right)); bottom=$((Y + HEIGHT > bottom ? Y + HEIGHT : bottom))
    fi
    left=$((left > 4 ? left - 4 : 0)); top=$((top > 30 ? top - 30 : 0))
    import -window root -crop "$((right - left + 4))x$((bottom - top + 4))+${left}+${top}" +repage "$OUT/$file"
    end_keldrin "$file"
    kill "$notepad_pid" 2>/dev/null || true
    wait "$notepad_pid" 2>/dev/null || true
}

jpn=$(program_folder jpn Keldrin.Jpn.dll)
eng=$(program_folder eng Keldrin.Eng.dll)

shoot main-jpn.png "$jpn"
shoot main-eng.png "$eng"
shoot countdown-jpn.png "$jpn" --shutdown --wait-min 30
shoot countdown-eng.png "$eng" --shutdown --wait-min 30
shoot select-jpn.png "$jpn" --select
shoot_menu countdown-menu-jpn.png "$jpn" --shutdown --wait-min 30
shoot_menu countdown-menu-eng.png "$eng" --shutdown --wait-min 30
shoot_last_minute countdown-last-minute-jpn.png "$jpn"
shoot_last_minute countdown-last-minute-eng.png "$eng"

# The Windows 8 family gets the coloured look; Wine reports Windows 8 to this
# program alone through its application defaults.
wine_ reg add "$APP_VERSION_KEY" /v Version /d win8 /f >/dev/null 2>&1
shoot countdown-win8-jpn.png "$jpn" --shutdown --wait-min 30
shoot select-win8-jpn.png "$jpn" --select
wine_ reg delete "$APP_VERSION_KEY" /f >/dev/null 2>&1

# Windows 10 (as Wine reports it): the version text names it, and the
# countdown keeps the system's look.
wine_ reg add "$APP_VERSION_KEY" /v Version /d win10 /f >/dev/null 2>&1
shoot main-win10-eng.png "$eng"
shoot countdown-win10-eng.png "$eng" --shutdown --wait-min 30
wine_ reg delete "$APP_VERSION_KEY" /f >/dev/null 2>&1
