"""The main dialog of the shipped Keldrin.exe, started without arguments.

What it shows from the settings file, what each button does as a user sees it
(the countdown and select dialogs it opens, the shortcut files and messages,
the settings file it leaves, the update description), and the help viewer,
watched in Wine's relay trace. Every message box is answered by the test;
every shortcut and folder the test makes is removed again.
"""

import datetime
import os
import re
import shutil
import struct
import time
import unittest

from keldrin_e2e import (BS_OWNERDRAW, BS_TYPEMASK, CONFIG, DESTINATION_RADIOS, ID, IDCANCEL, IDOK, MESSAGE_TEXT,
                         OPERATION_RADIOS, RELAY_KEY, USER, KeldrinTestCase, Probe, _prepare_prefix, countdown_timers,
                         fill_in_main_dialog, reg_set, relay_text, wait_until)
from screen_look import set_windows_version

USER_FOLDER = os.path.join(CONFIG.prefix, "drive_c", "users", USER)
QUICK_LAUNCH_PARTS = ("AppData", "Roaming", "Microsoft", "Internet Explorer", "Quick Launch")
QUICK_LAUNCH = os.path.join(USER_FOLDER, *QUICK_LAUNCH_PARTS)
QUICK_LAUNCH_WINDOWS = "C:\\users\\%s\\%s" % (USER, "\\".join(QUICK_LAUNCH_PARTS))
MODULE = "Keldrin.Jpn.dll"   # the first the program looks for, and in every test folder

BS_PUSHBUTTON, BS_DEFPUSHBUTTON = 0x00, 0x01
WS_EX_APPWINDOW = 0x00040000

HELP_CALL = "hhctrl.ocx.HtmlHelpW"
# Where libraries are looked for, and which ones are loaded.
LIBRARY_SEARCH = ("kernel32.SetDefaultDllDirectories", "kernel32.SetDllDirectoryW")
LIBRARY_LOADS = ("kernel32.LoadLibraryW", "kernel32.LoadLibraryExW")
# Traced for this file: the help viewer, the texts the countdown shows, and the libraries.
RELAY_ADDITIONS = (HELP_CALL, "user32.SetDlgItemTextW") + LIBRARY_SEARCH + LIBRARY_LOADS
# The HTML Help control's registration, which names the library the viewer comes from.
HTML_HELP_SERVER = r"HKCR\CLSID\{ADB880A6-D8FF-11CF-9377-00AA003B7A11}\InprocServer32"
HH_DISPLAY_TOC, HH_INITIALIZE = 0x01, 0x1C
OVERRIDES = r"HKCU\Software\Wine\DllOverrides"
MENU_BUILDER = "winemenubuilder.exe"

# HtmlHelpW lives in an .ocx, whose calls the harness's parser (module.function) does not take.
_HELP_LINE = re.compile(r"^(?:\d+\.\d+:)?([0-9a-f]{4,8}):[0-9a-f]{4,8}:Call hhctrl\.ocx\.HtmlHelpW\((.*)\) ret=",
                        re.MULTILINE)

_saved = {}


def setUpModule():
    _prepare_prefix()
    with Probe() as probe:
        relay = probe.reg_get(RELAY_KEY, "RelayInclude") or ""
        _saved["relay"] = relay
        entries = [entry for entry in relay.split(";") if entry]
        missing = [name for name in RELAY_ADDITIONS if name not in entries]
        if missing:
            probe.reg_set(RELAY_KEY, "RelayInclude", ";".join(entries + missing))
        # Wine hands every link saved to winemenubuilder, which copies its icon
        # into the host's ~/.local; an empty load order keeps it from running.
        _saved["menu_builder"] = probe.reg_get(OVERRIDES, MENU_BUILDER)
        if _saved["menu_builder"] is None:
            probe.reg_set(OVERRIDES, MENU_BUILDER, "")


def tearDownModule():
    with Probe() as probe:
        if "relay" in _saved:
            probe.reg_set(RELAY_KEY, "RelayInclude", _saved["relay"])
        if _saved.get("menu_builder", "") is None:
            probe.reg_delete(OVERRIDES, MENU_BUILDER)


def help_calls(result):
    """(command, file argument) of each HtmlHelpW call the program made."""
    calls = []
    for pid, args in _HELP_LINE.findall(result.trace):
        if int(pid, 16) == result.pid:
            parts = args.split(",")
            calls.append((int(parts[2], 16), relay_text(parts[1])))
    return calls


def desktop_folder() -> str:
    """Where the prefix's Desktop really is: Wine links it to the user's home (or ~/Desktop)."""
    return os.path.realpath(os.path.join(USER_FOLDER, "Desktop"))


def read_link(path: str) -> dict:
    """The strings of a .lnk file (the shell link binary format): target, and the
    description, working folder, arguments and icon location of its StringData."""
    with open(path, "rb") as f:
        data = f.read()
    header_size, = struct.unpack_from("<I", data, 0)
    flags, = struct.unpack_from("<I", data, 0x14)
    show, = struct.unpack_from("<I", data, 0x3C)
    link = {"show": show, "target": None}
    position = header_size
    if flags & 0x01:    # HasLinkTargetIDList
        size, = struct.unpack_from("<H", data, position)
        position += 2 + size
    if flags & 0x02:    # HasLinkInfo: the target's local path, in the ANSI code page
        size, = struct.unpack_from("<I", data, position)
        base_offset, = struct.unpack_from("<I", data, position + 0x10)
        start = position + base_offset
        link["target"] = data[start:data.index(b"\0", start)].decode("latin-1")
        position += size
    unicode = bool(flags & 0x80)
    for bit, name in ((0x04, "description"), (0x08, "relative_path"), (0x10, "working_dir"),
                      (0x20, "arguments"), (0x40, "icon")):
        if flags & bit:
            count, = struct.unpack_from("<H", data, position)
            position += 2
            width = 2 if unicode else 1
            raw = data[position:position + count * width]
            position += count * width
            # Wine counts the terminating NUL into each string's length.
            link[name] = raw.decode("utf-16-le" if unicode else "cp1252").rstrip("\0")
    return link


class MainDialogTestCase(KeldrinTestCase):

    def setUp(self):
        super().setUp()
        self.p = self.probe()

    def module_text(self, string_id: int) -> str:
        text = self.p.module_string(self.folder.windows_path + "\\" + MODULE, string_id)
        self.assertIsNotNone(text, "the module has no string %d" % string_id)
        return text

    def open_main(self):
        launch = self.start(None, timeout=90)
        hwnd = self.p.wait_window(launch.pid, timeout=15)
        self.assertIsNotNone(hwnd, "Keldrin.exe without arguments opened no window")
        ids = {child.id for child in self.p.children(hwnd)}
        self.assertTrue({IDOK, IDCANCEL, ID.IDC_UPDATE, ID.IDC_HELP_BUTTON, ID.IDC_VERSION_TEXT} <= ids,
                        "not the main dialog: %s" % ids)
        return launch, hwnd

    def answer_message_box(self, pid: int, main: int):
        """Waits for the program's message box, reads it and presses OK: (caption, text)."""
        box = self.p.wait_other_window(pid, {main})
        self.assertIsNotNone(box, "no message box appeared")
        texts = {child.id: child.text for child in self.p.children(box)}
        self.assertIn(MESSAGE_TEXT, texts, "the window that appeared is no message box")
        self.assertIn(IDOK, texts, "the message box has no OK button")
        caption = self.p.text(box)
        self.p.click(box, IDOK)
        self.assertTrue(self.p.wait_gone(box, timeout=10), "the message box did not close on OK")
        return caption, texts[MESSAGE_TEXT]

    def assertStillOpen(self, launch, hwnd: int) -> None:
        visible = [window.hwnd for window in self.p.windows(launch.pid) if window.visible]
        self.assertIn(hwnd, visible, "the main dialog did not stay open")

    def close_main(self, launch, hwnd):
        self.p.click(hwnd, IDCANCEL)
        result = launch.wait()
        self.assertEqual(0, result.exit_code)
        self.assertEqual([], result.power_calls)
        return result

    def remove_later(self, path: str) -> None:
        def remove():
            if os.path.lexists(path):
                os.remove(path)
        remove()
        self.addCleanup(remove)

    def quick_launch(self, present: bool) -> None:
        """Makes the prefix's Quick Launch folder present or absent for this test; puts it back afterwards."""
        aside = QUICK_LAUNCH + " (moved aside by test_main_dialog)"
        existed = os.path.isdir(QUICK_LAUNCH)
        parents = [os.path.dirname(QUICK_LAUNCH), os.path.dirname(os.path.dirname(QUICK_LAUNCH))]
        made = [folder for folder in parents if not os.path.isdir(folder)]
        if present and not existed:
            os.makedirs(QUICK_LAUNCH)
            self.addCleanup(lambda: [shutil.rmtree(folder, ignore_errors=True)
                                     for folder in [QUICK_LAUNCH] + made])
        elif not present and existed:
            os.rename(QUICK_LAUNCH, aside)
            self.addCleanup(lambda: os.rename(aside, QUICK_LAUNCH))


class OpensOnTheSettings(MainDialogTestCase):

    def test_shows_the_stored_choice_and_the_long_version_text(self):
        self.folder.write_settings(Operation=3, Destination=0, WaitMin=5, WaitSec=10, SaverLockOff=1)
        launch, hwnd = self.open_main()
        checked = [control for control in OPERATION_RADIOS if self.p.checked(hwnd, control)]
        self.assertEqual([ID.IDC_OP_STANDBY], checked)
        checked = [control for control in DESTINATION_RADIOS if self.p.checked(hwnd, control)]
        self.assertEqual([ID.IDC_DEST_RUN], checked)
        self.assertEqual("5", self.p.text(hwnd, ID.IDC_WAIT_MIN))
        self.assertEqual("10", self.p.text(hwnd, ID.IDC_WAIT_SEC))
        self.assertEqual(0, self.p.checked(hwnd, ID.IDC_SAVER_LOCK_OFF),
                         "the screen-saver option opens off whatever was stored")

        # A new prefix reports Windows 7; whichever edition, it is named between " on " and the date.
        version = self.p.text(hwnd, ID.IDC_VERSION_TEXT)
        product = re.escape(self.module_text(ID.IDS_PRODUCT_NAME))
        pattern = product + r" Version 1\.04\.01 on (Windows \S.*) \(02/02/2013\)"
        self.assertRegex(version, "^" + pattern + "$")
        self.assertEqual(self.module_text(ID.IDS_PRODUCT_NAME), self.p.text(hwnd))

        # The close box ends it like Cancel: nothing runs, the values are kept.
        self.p.close(hwnd)
        result = launch.wait()
        self.assertEqual(0, result.exit_code)
        self.assertEqual([], result.power_calls)
        self.assertEqual(3, self.folder.read_settings()["PowerOperation"])

    def test_cancel_keeps_the_edits_in_the_settings_file(self):
        self.folder.write_settings(Operation=3, Destination=0, WaitMin=5, WaitSec=10)
        launch, hwnd = self.open_main()
        fill_in_main_dialog(self.p, hwnd, (ID.IDC_OP_LOGOFF, ID.IDC_DEST_QUICKLAUNCH), "7", "33")
        self.p.key(hwnd, "esc")
        result = launch.wait()
        self.assertEqual(0, result.exit_code)
        self.assertEqual([], result.power_calls)
        settings = self.folder.read_settings()
        self.assertEqual(5, settings["PowerOperation"])
        self.assertEqual(2, settings["PowerDestination"])
        self.assertEqual(7, settings["PowerWaitMin"])
        # The seconds are never written: the next start waits the default again.
        self.assertNotIn("PowerWaitSec", settings)


class RunDestination(MainDialogTestCase):

    def test_wait_beyond_the_spin_ranges_counts_down_from_the_total(self):
        self.folder.write_settings(Operation=3, Destination=0, WaitMin=5, WaitSec=10)
        launch, hwnd = self.open_main()
        self.p.click(hwnd, ID.IDC_OP_MONITOROFF)
        self.p.set_text(hwnd, ID.IDC_WAIT_SEC, "90")
        self.p.set_text(hwnd, ID.IDC_WAIT_MIN, "2")
        icons = set(self.p.tray_icons())
        self.p.click(hwnd, IDOK)
        countdown = self.p.wait_other_window(launch.pid, {hwnd})
        self.assertIsNotNone(countdown, "OK opened no countdown")
        self.assertTrue(wait_until(lambda: set(self.p.tray_icons()) - icons, 5), "this countdown has no icon")
        children = {child.id: child for child in self.p.children(countdown)}
        self.assertIn(ID.IDC_REMAINING, children, "the window after OK is no countdown")
        # This prefix reports Windows 7: template 104, whose buttons the system draws.
        self.assertNotEqual(BS_OWNERDRAW, children[IDOK].style & BS_TYPEMASK)
        # Owned by the hidden main dialog, it still has a taskbar button for its title and flash.
        self.assertTrue(self.p.exstyle(countdown) & WS_EX_APPWINDOW, "the countdown has no taskbar button")
        self.assertNotIn(hwnd, [w.hwnd for w in self.p.windows(launch.pid) if w.visible], "the main dialog ended")
        time.sleep(0.3)
        self.p.click(countdown, IDCANCEL)
        result = launch.wait()
        self.assertEqual(0, result.exit_code)
        self.assertEqual([], result.power_calls, "a cancelled countdown performs nothing")

        shown = [relay_text(call.args[2]) for call in result.calls
                 if call.name == "user32.SetDlgItemTextW" and int(call.args[1], 16) == ID.IDC_REMAINING]
        self.assertTrue(shown, "the countdown showed no remaining time")
        self.assertEqual(self.module_text(ID.IDS_REMAINING_MIN_SEC) % (3, 30), shown[0], "90 s and 2 min are 3:30")
        self.assertTrue(countdown_timers(result.calls))
        settings = self.folder.read_settings()
        self.assertEqual(6, settings["PowerOperation"])
        self.assertEqual(2, settings["PowerWaitMin"])

    def test_a_time_of_day_counts_to_the_time_picked(self):
        # Two hours on, in the hours and minutes the picker shows.
        at = datetime.datetime.now() + datetime.timedelta(hours=2)
        self.folder.write_settings(Operation=6, Destination=0, WaitMin=1, WaitSec=0, UseAtTime=0,
                                   AtTime=at.hour * 100 + at.minute)
        launch, hwnd = self.open_main()
        self.assertEqual(1, self.p.checked(hwnd, ID.IDC_WHEN_WAIT))
        self.p.click(hwnd, ID.IDC_WHEN_AT)
        self.assertFalse(self.p.children_by_id(hwnd)[ID.IDC_WAIT_MIN].enabled, "the wait still takes input")
        self.p.click(hwnd, IDOK)
        countdown = self.p.wait_other_window(launch.pid, {hwnd})
        self.assertIsNotNone(countdown, "OK opened no countdown")
        caption = self.module_text(ID.IDS_CAPTION_AT_NONE + 6) % at.strftime("%H:%M")
        wait_until(lambda: self.p.text(countdown, ID.IDC_OPERATION_CAPTION) == caption, 3)
        self.assertEqual(caption, self.p.text(countdown, ID.IDC_OPERATION_CAPTION))
        minutes = int(re.findall(r"\d+", self.p.text(countdown, ID.IDC_REMAINING))[0])
        self.assertIn(minutes, (118, 119), "not two hours to go")
        self.p.click(countdown, IDCANCEL)
        self.assertEqual([], launch.wait().power_calls)
        settings = self.folder.read_settings()
        self.assertEqual(1, settings["PowerUseAtTime"])
        self.assertEqual(at.hour * 100 + at.minute, settings["PowerAtTime"])

    def test_an_empty_or_pasted_minutes_field_is_no_wait_of_zero(self):
        # Cleared, the field once read as 0, and a pasted "-1" as a negative
        # total: both shut the machine down at once.
        for minutes in ("", "-1"):
            with self.subTest(minutes=minutes):
                self.folder.write_settings(Operation=1, Destination=0, WaitMin=5, WaitSec=10)
                launch, hwnd = self.open_main()
                fill_in_main_dialog(self.p, hwnd, (ID.IDC_OP_SHUTDOWN, ID.IDC_DEST_RUN), minutes, "0")
                self.p.click(hwnd, IDOK)
                caption, text = self.answer_message_box(launch.pid, hwnd)
                self.assertEqual(self.module_text(ID.IDS_PRODUCT_NAME), caption)
                self.assertEqual(self.module_text(ID.IDS_WAIT_NOT_A_NUMBER), text)
                self.assertStillOpen(launch, hwnd)
                self.assertEqual((minutes, "0"), (self.p.text(hwnd, ID.IDC_WAIT_MIN), self.p.text(hwnd, ID.IDC_WAIT_SEC)))
                result = self.close_main(launch, hwnd)    # which also finds no power call
                self.assertFalse(countdown_timers(result.calls), "a countdown ran")

    def test_select_opens_the_select_dialog_whatever_the_wait(self):
        self.folder.write_settings(Operation=1, Destination=0, WaitMin=1, WaitSec=30)
        launch, hwnd = self.open_main()
        self.p.click(hwnd, ID.IDC_OP_SELECT)
        self.p.click(hwnd, IDOK)
        select = self.p.wait_other_window(launch.pid, {hwnd})
        self.assertIsNotNone(select, "OK with select opened no window")
        children = {child.id: child for child in self.p.children(select)}
        self.assertIn(ID.IDC_SELECT_LIST, children, "the window after OK is no select dialog")
        self.assertNotIn(ID.IDC_REMAINING, children)
        # Template 106 outside the Windows 8 family, as from the command line.
        self.assertNotEqual(BS_OWNERDRAW, children[IDOK].style & BS_TYPEMASK)
        self.assertTrue(self.p.exstyle(select) & WS_EX_APPWINDOW, "the select dialog has no taskbar button")
        self.p.click(select, IDCANCEL)
        result = launch.wait()
        self.assertEqual(0, result.exit_code)
        self.assertEqual([], result.power_calls)
        self.assertFalse(countdown_timers(result.calls), "a countdown ran before the select dialog")


class TheRunningWindows(MainDialogTestCase):
    """What Wine reports to the program (win7 to win10): the version text names
    that Windows, and OK opens the countdown and the select dialog in its look,
    the owner-drawn twins on Windows 8 only, with Cancel the countdown's default."""

    NAMES = (("win7", r"Windows 7(?: \S.*)?"), ("win8", r"Windows 8(?: \D.*)?"),
             ("win81", r"Windows 8\.1"), ("win10", r"Windows 10"))

    def open_from_main(self, operation: int, wait_min: int):
        """The main dialog on these settings, then OK: (launch, main dialog's version text, window opened)."""
        self.folder.write_settings(Operation=operation, Destination=0, WaitMin=wait_min, WaitSec=0)
        launch, hwnd = self.open_main()
        version = self.p.text(hwnd, ID.IDC_VERSION_TEXT)
        self.p.click(hwnd, IDOK)
        opened = self.p.wait_other_window(launch.pid, {hwnd})
        self.assertIsNotNone(opened, "OK opened no window")
        return launch, version, opened

    def button_kinds(self, hwnd: int):
        children = {child.id: child for child in self.p.children(hwnd)}
        return children[IDOK].style & BS_TYPEMASK, children[IDCANCEL].style & BS_TYPEMASK

    def test_each_windows_is_named_and_gets_the_dialogs_of_its_look(self):
        for version, name in self.NAMES:
            with self.subTest(version=version):
                set_windows_version(self.p, version)
                self.addCleanup(set_windows_version, self.p, None)
                coloured = version == "win8"

                launch, text, countdown = self.open_from_main(6, 1)
                self.assertRegex(text, r"Version 1\.04\.01 on %s \(02/02/2013\)$" % name)
                self.assertEqual((BS_OWNERDRAW, BS_OWNERDRAW) if coloured else (BS_PUSHBUTTON, BS_DEFPUSHBUTTON),
                                 self.button_kinds(countdown), "countdown template")
                self.assertEqual(self.p.item(countdown, IDCANCEL), self.p.key(countdown, "enter"),
                                 "the focus is not on Cancel")
                result = launch.wait()
                self.assertEqual(0, result.exit_code)
                self.assertEqual([], result.power_calls, "Enter in the countdown performed the operation")

                launch, _, select = self.open_from_main(9, 1)
                self.assertIn(ID.IDC_SELECT_LIST, [child.id for child in self.p.children(select)])
                self.assertEqual((BS_OWNERDRAW, BS_OWNERDRAW) if coloured else (BS_DEFPUSHBUTTON, BS_PUSHBUTTON),
                                 self.button_kinds(select), "select template")
                self.p.click(select, IDCANCEL)
                result = launch.wait()
                self.assertEqual([], result.power_calls)


class ShortcutDestinations(MainDialogTestCase):

    def expected_name(self, format_id: int, operation: int, *numbers) -> str:
        product = self.module_text(ID.IDS_PRODUCT_NAME)
        operation_name = self.module_text(ID.IDS_OPERATION_NAME_FIRST + operation)
        return self.module_text(format_id) % ((product, operation_name) + numbers)

    def assertLinkFor(self, path: str, arguments: str) -> None:
        self.assertTrue(os.path.isfile(path), "no shortcut at %s" % path)
        link = read_link(path)
        self.assertEqual(arguments, link.get("arguments"))
        self.assertEqual(self.folder.windows_exe, link["target"])
        self.assertEqual(self.folder.windows_path + "\\", link.get("working_dir"))
        self.assertEqual(self.module_text(ID.IDS_SHORTCUT_DESCRIPTION), link.get("description"))
        self.assertEqual(self.folder.windows_exe, link.get("icon"))
        self.assertEqual(1, link["show"])

    def test_desktop_shortcut_is_written_announced_and_the_dialog_stays(self):
        self.folder.write_settings(Operation=1, Destination=1, WaitMin=1, WaitSec=30)
        link = os.path.join(desktop_folder(), self.expected_name(ID.IDS_SHORTCUT_NAME_MIN_SEC, 1, 1, 30) + ".lnk")
        self.remove_later(link)
        launch, hwnd = self.open_main()
        self.p.click(hwnd, IDOK)
        caption, text = self.answer_message_box(launch.pid, hwnd)
        self.assertEqual(self.module_text(ID.IDS_PRODUCT_NAME), caption)
        self.assertEqual(self.module_text(ID.IDS_DESKTOP_SHORTCUT_MADE), text)
        self.assertLinkFor(link, "--shutdown --wait 90")

        # Still open, with the choice as it was: another shortcut can follow.
        self.assertStillOpen(launch, hwnd)
        self.assertEqual(1, self.p.checked(hwnd, ID.IDC_OP_SHUTDOWN))
        self.assertEqual(1, self.p.checked(hwnd, ID.IDC_DEST_DESKTOP))
        self.assertEqual(("1", "30"), (self.p.text(hwnd, ID.IDC_WAIT_MIN), self.p.text(hwnd, ID.IDC_WAIT_SEC)))
        self.close_main(launch, hwnd)
        self.assertEqual(1, self.folder.read_settings()["PowerDestination"])

    def test_quick_launch_shortcut_goes_into_an_existing_quick_launch_folder(self):
        self.quick_launch(present=True)
        link = os.path.join(QUICK_LAUNCH, self.expected_name(ID.IDS_SHORTCUT_NAME_SEC, 3, 45) + ".lnk")
        launch, hwnd = self.open_main()
        controls = (ID.IDC_OP_STANDBY, ID.IDC_DEST_QUICKLAUNCH, ID.IDC_SAVER_LOCK_OFF)
        fill_in_main_dialog(self.p, hwnd, controls, "0", "45")
        self.p.click(hwnd, IDOK)
        caption, text = self.answer_message_box(launch.pid, hwnd)
        self.assertEqual(self.module_text(ID.IDS_QUICKLAUNCH_SHORTCUT_MADE), text)
        self.assertLinkFor(link, "--standby --wait 45 --saverlockoff")
        self.assertStillOpen(launch, hwnd)
        self.close_main(launch, hwnd)

    def test_a_shortcut_to_a_time_of_day_carries_at_and_says_the_time(self):
        self.folder.write_settings(Operation=1, Destination=1, UseAtTime=1, AtTime=2330)
        name = self.expected_name(ID.IDS_SHORTCUT_NAME_AT, 1, 23, 30)
        link = os.path.join(desktop_folder(), name + ".lnk")
        self.remove_later(link)
        launch, hwnd = self.open_main()
        self.assertEqual(1, self.p.checked(hwnd, ID.IDC_WHEN_AT))
        self.p.click(hwnd, IDOK)
        self.assertEqual(self.module_text(ID.IDS_DESKTOP_SHORTCUT_MADE), self.answer_message_box(launch.pid, hwnd)[1])
        self.assertLinkFor(link, "--shutdown --at 23:30")
        self.assertIn("23", name)
        self.close_main(launch, hwnd)

    def test_a_shortcut_of_not_used_for_carries_the_condition_and_says_it(self):
        link = os.path.join(desktop_folder(), self.expected_name(ID.IDS_SHORTCUT_NAME_IDLE, 1, 10) + ".lnk")
        self.remove_later(link)
        launch, hwnd = self.open_main()
        self.p.click(hwnd, ID.IDC_WHEN_IDLE)
        self.p.set_text(hwnd, ID.IDC_IDLE_MIN, "10")
        fill_in_main_dialog(self.p, hwnd, (ID.IDC_OP_SHUTDOWN, ID.IDC_DEST_DESKTOP), "0", "30")
        self.p.click(hwnd, IDOK)
        self.assertEqual(self.module_text(ID.IDS_DESKTOP_SHORTCUT_MADE), self.answer_message_box(launch.pid, hwnd)[1])
        self.assertLinkFor(link, "--shutdown --idle-min 10")
        self.assertStillOpen(launch, hwnd)
        self.close_main(launch, hwnd)
        self.assertEqual(10, self.folder.read_settings()["PowerIdleMin"])

    def test_missing_quick_launch_folder_is_reported_and_nothing_is_written(self):
        self.quick_launch(present=False)
        name = self.expected_name(ID.IDS_SHORTCUT_NAME_NOW, 2) + ".lnk"
        launch, hwnd = self.open_main()
        fill_in_main_dialog(self.p, hwnd, (ID.IDC_OP_REBOOT, ID.IDC_DEST_QUICKLAUNCH), "0", "0")
        self.p.click(hwnd, IDOK)
        caption, text = self.answer_message_box(launch.pid, hwnd)
        self.assertEqual(self.module_text(ID.IDS_PRODUCT_NAME), caption)
        self.assertEqual(self.module_text(ID.IDS_SHORTCUT_FAILED) % (QUICK_LAUNCH_WINDOWS + "\\" + name), text)
        self.assertNotEqual(self.module_text(ID.IDS_QUICKLAUNCH_SHORTCUT_MADE), text)
        self.assertFalse(os.path.exists(QUICK_LAUNCH), "the program made the Quick Launch folder")
        self.assertStillOpen(launch, hwnd)
        self.close_main(launch, hwnd)


class UpdateAndHelp(MainDialogTestCase):

    def test_update_button_closes_the_dialog_and_hands_off_at_exit(self):
        launch, hwnd = self.open_main()
        self.p.click(hwnd, ID.IDC_OP_STANDBY)
        self.p.set_text(hwnd, ID.IDC_WAIT_MIN, "4")
        self.assertNotIn("Keldrin.kvx", self.folder.files())
        self.p.click(hwnd, ID.IDC_UPDATE)
        result = launch.wait()
        self.assertEqual(0, result.exit_code)
        self.assertEqual([], result.power_calls)
        self.assertIn("Keldrin.kvx", self.folder.files(), "no update description at exit")
        settings = self.folder.read_settings()
        self.assertEqual(3, settings["PowerOperation"])
        self.assertEqual(4, settings["PowerWaitMin"])

    def press_help(self):
        """The main dialog with a help file beside the program, and Help pressed: (launch, main dialog)."""
        # Any file of that name will do: the program only asks whether it is there.
        with open(os.path.join(self.folder.path, "Keldrin.chm"), "wb") as f:
            f.write(b"not a real help file")
        launch, hwnd = self.open_main()
        self.p.click(hwnd, ID.IDC_HELP_BUTTON)
        # Wine's viewer opens nothing for a file that is no help file; whatever does open is closed.
        viewer = self.p.wait_other_window(launch.pid, {hwnd}, timeout=1.5)
        if viewer is not None:
            self.p.close(viewer)
            self.p.wait_gone(viewer, timeout=5)
        return launch, hwnd

    def test_help_opens_the_help_file_beside_the_program(self):
        launch, hwnd = self.press_help()
        self.assertStillOpen(launch, hwnd)
        result = self.close_main(launch, hwnd)
        calls = help_calls(result)
        topic = self.folder.windows_path + "\\Keldrin.chm::_RESOURCE/Help-howtouse.html"
        self.assertIn((HH_DISPLAY_TOC, topic), calls, "HtmlHelpW was not asked for the topic: %s" % calls)
        self.assertEqual(HH_INITIALIZE, calls[0][0], "the help viewer was not initialised first")

    def test_help_without_its_registration_loads_the_viewer_from_the_system_folder(self):
        registered = self.p.reg_get(HTML_HELP_SERVER, "")
        self.assertIsInstance(registered, str, "the prefix has no HTML Help registration to take away")
        self.addCleanup(reg_set, HTML_HELP_SERVER, "", registered)
        self.assertTrue(self.p.reg_delete(HTML_HELP_SERVER, ""))
        launch, hwnd = self.press_help()
        result = self.close_main(launch, hwnd)

        loaded = [(index, relay_text(call.args[0])) for index, call in enumerate(result.calls)
                  if call.name in LIBRARY_LOADS]
        viewer_loads = [name for _, name in loaded if name.lower().endswith("hhctrl.ocx")]
        self.assertEqual(["c:\\windows\\system32\\hhctrl.ocx"], [name.lower() for name in viewer_loads],
                         "the viewer's library was not loaded by its full system path: %s" % loaded)
        self.assertIn(HH_DISPLAY_TOC, [command for command, _ in help_calls(result)], "the viewer was not asked")
        # Before the program loads its first library, the search is narrowed to the
        # system folder. The system's own DLLs load some while the process starts,
        # before the program runs; the program's own calls return into its image,
        # the megabyte that the narrowing call returns into.
        narrowing = [index for index, call in enumerate(result.calls)
                     if call.pair == ("kernel32.SetDefaultDllDirectories", ["00000800"])]
        self.assertEqual(1, len(narrowing), "SetDefaultDllDirectories(LOAD_LIBRARY_SEARCH_SYSTEM32) not called once")
        image = result.calls[narrowing[0]].ret >> 20
        own_loads = [index for index, call in enumerate(result.calls)
                     if call.name in LIBRARY_LOADS and call.ret >> 20 == image]
        self.assertTrue(own_loads, "no library load of the program's own was seen")
        self.assertLess(narrowing[0], own_loads[0], "%s was loaded before the search was narrowed"
                        % relay_text(result.calls[own_loads[0]].args[0]))

    def test_help_without_the_help_file_does_nothing(self):
        launch, hwnd = self.open_main()
        self.p.click(hwnd, ID.IDC_HELP_BUTTON)
        other = self.p.wait_other_window(launch.pid, {hwnd}, timeout=1.5)
        if other is not None:
            title = self.p.text(other)
            self.p.close(other)
            self.fail("help without Keldrin.chm opened a window titled %r" % title)
        self.assertStillOpen(launch, hwnd)
        result = self.close_main(launch, hwnd)
        self.assertEqual([], help_calls(result), "HtmlHelpW was called")


if __name__ == "__main__":
    unittest.main()
