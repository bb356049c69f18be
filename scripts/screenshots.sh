#!/usr/bin/env bash
# Makes the README screenshots in docs/screenshots/ from the built program
# under Wine on a virtual display: the main dialog in Japanese and English,
# with a wait and with a time of day, the countdown (to the end of a wait and
# to a time of day) in the ordinary and the Windows 8 look, its window menu,
# Later's menu, its icon's menu in the notification area, its last minute,
# the watching dialog, the select dialog, the repetition through the Task
# Scheduler and the list of schedules, and the main dialog, the countdown and
# its icon's menu at 150 % (144 DPI). Each picture is cropped to its window,
# or to the windows it shows (the countdown and its open menu, the countdown
# over another program's window).
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

DESKTOP_KEY='HKCU\Control Panel\Desktop'
KELDRIN_PID=
cleanup() {
    if [ -n "$KELDRIN_PID" ]; then kill "$KELDRIN_PID" 2>/dev/null || true; fi
    wine_ reg delete "$APP_VERSION_KEY" /f >/dev/null 2>&1 || true
    wine_ reg delete "$DESKTOP_KEY" /v LogPixels /f >/dev/null 2>&1 || true
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

# The main dialog at 150 % in Japanese is taller than 768 pixels.
KELDRIN_SCREEN=1280x1024x24 ensure_display
ensure_prefix
install_wine_fonts
# Captions and menus are drawn in Tahoma, which has no Japanese: Windows
# links a Japanese font behind it, and so does this prefix, or the title
# "あと 42 秒" would show boxes.
wine_ reg add 'HKLM\Software\Microsoft\Windows NT\CurrentVersion\FontLink\SystemLink' /v Tahoma \
    /t REG_MULTI_SZ /d 'NotoSansCJK-Regular.ttc,Noto Sans CJK JP' /f >/dev/null 2>&1
# Wine then draws the window frames itself; Xvfb has no window manager to do it.
wine_ reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1

# program_folder NAME MODULE [KEY=VALUE...]: a program folder with one
# language module and remembered choices that make a telling picture: shut
# down after 30 minutes, and any further keys given after those.
program_folder() {
    local name=$1 module=$2 folder="$SCRATCH/$1" line
    shift 2
    mkdir -p "$folder"
    cp "$FLAVOUR_DIST/Keldrin.exe" "$FLAVOUR_DIST/$module" "$folder/"
    {
        printf '[Keldrin]\r\nPowerOperation=1\r\nPowerDestination=0\r\nPowerSelection=1\r\nPowerWaitMin=30\r\nPowerWaitSec=0\r\n'
        for line in "$@"; do printf '%s\r\n' "$line"; done
    } > "$folder/Keldrin-$(id -un).ini"
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

# crop_to_windows FILE WINDOW...: saves the part of the screen the windows
# cover together, their frames included (Wine draws the frames itself: the
# X window is the whole window). Of two or more windows, whatever of the
# rectangle around them no window covers is made transparent, so no bare
# screen shows.
crop_to_windows() {
    local file=$1 window left= top= right= bottom= rects=() rect draws=()
    shift
    for window in "$@"; do
        eval "$(xdotool getwindowgeometry --shell "$window" | sed 's/^/local /')"
        rects+=("$X $Y $WIDTH $HEIGHT")
        if [ -z "$left" ]; then
            left=$X; top=$Y; right=$((X + WIDTH)); bottom=$((Y + HEIGHT))
        else
            left=$((X < left ? X : left)); top=$((Y < top ? Y : top))
            right=$((X + WIDTH > right ? X + WIDTH : right)); bottom=$((Y + HEIGHT > bottom ? Y + HEIGHT : bottom))
        fi
    done
    import -window root -crop "$((right - left))x$((bottom - top))+${left}+${top}" +repage "$OUT/$file"
    [ ${#rects[@]} -gt 1 ] || return 0
    for rect in "${rects[@]}"; do
        set -- $rect
        draws+=(-draw "rectangle $(($1 - left)),$(($2 - top)) $(($1 - left + $3 - 1)),$(($2 - top + $4 - 1))")
    done
    convert "$OUT/$file" \( -size "$((right - left))x$((bottom - top))" xc:black -fill white "${draws[@]}" \) \
        -alpha off -compose CopyOpacity -composite "$OUT/$file"
}

# The program's other visible windows without a title: Wine's menus are
# top-level windows of their own, of the program's class. (The window found
# first may not be the one the dialog settles in: titled ones are left out.)
other_windows() {
    local window
    for window in $(xdotool search --onlyvisible --class '^keldrin\.exe$' 2>/dev/null | grep -vx "$WINDOW"); do
        [ -n "$(xdotool getwindowname "$window" 2>/dev/null)" ] || echo "$window"
    done
}

# shoot_open_menu FILE WINDOW: once the menu just opened shows, saves it cut
# together with WINDOW, closes it and ends the program.
shoot_open_menu() {
    local file=$1 window=$2 menus= i
    for i in $(seq 1 50); do
        menus=$(other_windows)
        [ -n "$menus" ] && break
        sleep 0.1
    done
    [ -n "$menus" ] || echo "no menu for $file" >&2
    sleep 0.5
    # shellcheck disable=SC2086  # one word per window
    crop_to_windows "$file" "$window" $menus
    xdotool key --window "$WINDOW" Escape
    end_keldrin "$file"
}

# shoot_menu FILE FOLDER [ARGUMENTS...]: the countdown with its window menu
# open (Alt+Space).
shoot_menu() {
    local file=$1 folder=$2
    shift 2
    start_keldrin "$folder" "$@" || return 1
    xdotool key --window "$WINDOW" alt+space
    shoot_open_menu "$file" "$WINDOW"
}

# shoot_later FILE FOLDER: the countdown with Later's menu open (Alt+L).
shoot_later() {
    start_keldrin "$2" --shutdown --wait-min 30 || return 1
    xdotool key --window "$WINDOW" alt+l
    shoot_open_menu "$1" "$WINDOW"
}

# shoot_tray FILE FOLDER [ARGUMENTS...]: the countdown's icon with its menu
# open by a right click, cut to the tray and the menu. Without a tray of the
# X desktop Wine's explorer shows the icons in a window of its own.
shoot_tray() {
    local file=$1 folder=$2 tray= i
    shift 2
    start_keldrin "$folder" "$@" || return 1
    tray=$(timeout 10 xdotool search --sync --onlyvisible --name '^Wine System Tray$' | head -n 1) || true
    if [ -z "$tray" ]; then
        echo "no notification area for $file" >&2
        end_keldrin "$file"
        return 1
    fi
    # The icon fills the client area under the caption Wine draws itself.
    eval "$(xdotool getwindowgeometry --shell "$tray" | sed 's/^/local /')"
    # Wine takes the click for the icon only once the pointer has come to it,
    # and not always the first: up to three tries.
    for i in 1 2 3; do
        xdotool mousemove --window "$tray" 12 "$((HEIGHT - 12 - i))"
        sleep 0.3
        xdotool click 3
        sleep 1
        [ -n "$(other_windows)" ] && break
    done
    shoot_open_menu "$file" "$tray"
}

# shoot_last_minute FILE FOLDER: a countdown of 63 s minimised over another
# window (Wine's Notepad stands for the user's), photographed once it has
# come back by itself for its last minute; cut to the two windows.
shoot_last_minute() {
    local file=$1 folder=$2 notepad
    (exec "$KELDRIN_WINE" notepad.exe) >/dev/null 2>&1 &
    local notepad_pid=$!
    notepad=$(timeout 30 xdotool search --sync --onlyvisible --name 'Notepad' | head -n 1) || true
    start_keldrin "$folder" --shutdown --wait 63 || return 1
    # Without a window manager Wine minimises through its own window menu.
    xdotool key --window "$WINDOW" alt+space
    sleep 0.5
    xdotool key --window "$WINDOW" n
    sleep 4.5
    # shellcheck disable=SC2086  # no Notepad, no second window
    crop_to_windows "$file" "$WINDOW" $notepad
    end_keldrin "$file"
    kill "$notepad_pid" 2>/dev/null || true
    wait "$notepad_pid" 2>/dev/null || true
}

# shoot_watch FILE FOLDER: a watch that cannot come true while it is
# photographed (ten minutes without input, and services.exe, which runs as
# long as the prefix does, to end), ended as a script would end it, by
# "--cancel"; its operation, monitors off, would harm nothing anyway.
shoot_watch() {
    local file=$1 folder=$2 cancelled=0
    start_keldrin "$folder" --monitoroff --idle-min 10 --after-exit services.exe || return 1
    # The measure is read once a second: let it show a second or two of watching.
    sleep 1
    import -window "$WINDOW" "$OUT/$file"
    (cd "$folder" && "$KELDRIN_WINE" Keldrin.exe --cancel) >/dev/null 2>&1 || cancelled=$?
    if [ "$cancelled" != 0 ]; then
        echo "--cancel left the watch of $file running (exit code $cancelled)" >&2
    fi
    end_keldrin "$file"
}

# shoot_schedules FILE FOLDER KEY: registers a task as a script would, opens
# the main dialog's list of schedules with its mnemonic KEY, photographs the
# list and removes the task again. Wine's Task Scheduler gives no next run.
shoot_schedules() {
    local file=$1 folder=$2 key=$3 list= i
    (cd "$folder" && "$KELDRIN_WINE" Keldrin.exe --shutdown --every weekdays --at 23:00) >/dev/null 2>&1 ||
        echo "no task registered for $file" >&2
    start_keldrin "$folder" || return 1
    # The window found first may be one Wine replaces as the dialog settles.
    WINDOW=$(timeout 30 xdotool search --sync --onlyvisible --name '(^| - )Keldrin$' | tail -n 1) || true
    # By its title: Wine's other windows of the program come and go. A key
    # sent while the dialog still settles may be lost: then once more.
    for i in 1 2; do
        xdotool key --window "$WINDOW" "$key" || true
        list=$(timeout 5 xdotool search --sync --onlyvisible --name "Keldrin's schedules|Keldrin のスケジュール" |
            head -n 1) || true
        [ -n "$list" ] && break
    done
    if [ -z "$list" ]; then
        echo "no list of schedules for $file" >&2
    else
        sleep 1
        import -window "$list" "$OUT/$file"
        xdotool key --window "$list" Escape || true
    fi
    end_keldrin "$file"
    (cd "$folder" && "$KELDRIN_WINE" Keldrin.exe --unschedule all) >/dev/null 2>&1 || true
}

jpn=$(program_folder jpn Keldrin.Jpn.dll)
eng=$(program_folder eng Keldrin.Eng.dll)
# The main dialog as it opens after a time of day was chosen last: 23:30.
jpn_at=$(program_folder jpn-at Keldrin.Jpn.dll PowerUseAtTime=1 PowerAtTime=2330)
eng_at=$(program_folder eng-at Keldrin.Eng.dll PowerUseAtTime=1 PowerAtTime=2330)
# The watches in folders of their own: a run from the command line is
# remembered, and the main dialog photographed later must not show it.
jpn_watch=$(program_folder jpn-watch Keldrin.Jpn.dll)
eng_watch=$(program_folder eng-watch Keldrin.Eng.dll)
# The repetition chosen last: Monday to Friday at 23:00 through the Task Scheduler.
# The folder's file names the destination first (0), and the first of two keys wins.
jpn_schedule=$(program_folder jpn-schedule Keldrin.Jpn.dll PowerUseAtTime=1 PowerAtTime=2300 PowerScheduleDays=62)
eng_schedule=$(program_folder eng-schedule Keldrin.Eng.dll PowerUseAtTime=1 PowerAtTime=2300 PowerScheduleDays=62)
sed -i 's/^PowerDestination=0/PowerDestination=3/' "$jpn_schedule"/Keldrin-*.ini "$eng_schedule"/Keldrin-*.ini
# Wine's Task Scheduler answers only once its service runs.
wine_ net start Schedule >/dev/null 2>&1 || true

shoot main-jpn.png "$jpn"
shoot main-eng.png "$eng"
shoot main-at-jpn.png "$jpn_at"
shoot main-at-eng.png "$eng_at"
shoot countdown-jpn.png "$jpn" --shutdown --wait-min 30
shoot countdown-eng.png "$eng" --shutdown --wait-min 30
shoot countdown-at-jpn.png "$jpn" --shutdown --at 23:30
shoot countdown-at-eng.png "$eng" --shutdown --at 23:30
shoot select-jpn.png "$jpn" --select
shoot_menu countdown-menu-jpn.png "$jpn" --shutdown --wait-min 30
shoot_menu countdown-menu-eng.png "$eng" --shutdown --wait-min 30
shoot_tray tray-menu-jpn.png "$jpn" --shutdown --wait-min 30
shoot_tray tray-menu-eng.png "$eng" --shutdown --wait-min 30
shoot_later countdown-later-jpn.png "$jpn"
shoot_later countdown-later-eng.png "$eng"
shoot_watch watch-jpn.png "$jpn_watch"
shoot_watch watch-eng.png "$eng_watch"
shoot schedule-main-jpn.png "$jpn_schedule"
shoot schedule-main-eng.png "$eng_schedule"
shoot_schedules schedules-jpn.png "$jpn_schedule" alt+v
shoot_schedules schedules-eng.png "$eng_schedule" alt+v
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

# 150 %: Wine lays the dialogs out at the DPI this value gives, for every
# program started while it is set.
wine_ reg add "$DESKTOP_KEY" /v LogPixels /t REG_DWORD /d 144 /f >/dev/null 2>&1
shoot main-144dpi-jpn.png "$jpn"
shoot main-144dpi-eng.png "$eng"
shoot countdown-144dpi-jpn.png "$jpn" --shutdown --wait-min 30
shoot countdown-144dpi-eng.png "$eng" --shutdown --wait-min 30
shoot_tray tray-menu-144dpi-jpn.png "$jpn" --shutdown --wait-min 30
shoot_tray tray-menu-144dpi-eng.png "$eng" --shutdown --wait-min 30
wine_ reg delete "$DESKTOP_KEY" /v LogPixels /f >/dev/null 2>&1
