"""Hostile input and faults: the shipped Keldrin.exe must keep working and lose nothing.

Hand-written and damaged settings files, resource modules that lack a part
(hostile_modules/*.rc: the real module with one thing taken out), odd
"ScreenSaverIsSecure" values and a registry key the program is refused,
program folders with unrepresentable or very long names, a countdown killed
while the screen-saver password is off, and two copies saving at once. Each
case is judged by what a user or the system sees: exit code, windows, the
settings file, registry values and the relay trace.
"""

import os
import random
import shutil
import signal
import subprocess
import time
import unittest

from keldrin_e2e import (CONFIG, DESKTOP, DESKTOP_KEY, DESTINATION_RADIOS, ID, IDCANCEL, IDOK, IDYES, MESSAGE_TEXT,
                         MONITOR_OFF, OPERATION_RADIOS, SAVED_KEYS, SAVER, USER, WM_COMMAND, KeldrinTestCase,
                         ProgramFolder, countdown_timers, fill_in_main_dialog, ini, ini_lines, read_bytes, relay_text,
                         saver_writes, section_bounds, section_entries, section_text, wine, wine_env, wine_pids,
                         write_bytes)

BUILT = os.path.dirname(CONFIG.probe)
HOSTILE_MODULES = os.path.join(BUILT, "hostile_modules")
KEY_ACCESS = os.path.join(BUILT, "key_access.exe")

USER_FOLDER = os.path.join(CONFIG.prefix, "drive_c", "users", USER)
QUICK_LAUNCH = os.path.join(USER_FOLDER, "AppData", "Roaming", "Microsoft", "Internet Explorer", "Quick Launch")

OTHER = ("[Other]", "Name=Value", ";kept as written", "Path=C:\\Program Files\\x")


def settings_cases():
    """(what, file bytes, what the dialog must show: checked operation radio (0:
    none), checked destination radio, minutes and seconds; None: not fixed here,
    only consistent with what is saved)."""
    op, dest = OPERATION_RADIOS[0] - 1, DESTINATION_RADIOS[0]    # + operation code, + destination
    rnd = random.Random(20130202)
    binary = rnd.randbytes(8192)
    assert b"\0" in binary
    return (
        ("plain", ini(*OTHER, "[Keldrin]", "PowerOperation=3", "PowerDestination=2", "PowerWaitMin=5",
                      "PowerWaitSec=30"), (op + 3, dest + 2, "5", "30")),
        # Every reading of these (wrapped or clamped to 32 bits) lies outside the
        # codes the radios stand for; the up-downs keep the waits in their ranges.
        ("beyond 32 bits", ini("[Keldrin]", "PowerOperation=2147483648", "PowerDestination=-2147483649",
                               "PowerWaitMin=99999999999", "PowerWaitSec=2147483648",
                               "PowerSelection=-2147483649", *OTHER), (0, 0, None, None)),
        ("text and empty values", ini("[Keldrin]", "PowerOperation=abc", "PowerDestination=", "PowerWaitMin=",
                                      "PowerWaitSec=abc", *OTHER), (0, dest, "0", "0")),
        # The first of two equal keys counts, whatever the letter case.
        ("duplicate keys", ini(*OTHER, "[Keldrin]", "PowerOperation=3", "poweroperation=5", "PowerWaitMin=5",
                               "POWERWAITMIN=9", "PowerWaitSec=30", "PowerWaitSec=40"), (op + 3, dest, "5", "30")),
        ("1 MB lines", ini(*OTHER, "Long=" + "x" * (1 << 20), "[Keldrin]", "PowerOperation=6",
                           "PowerWaitMin=" + "7" * (1 << 20)), (op + 6, dest, None, "10")),
        ("random bytes", binary, (None, None, None, None)),
        ("UTF-16 with BOM", ("\ufeff" + "\r\n".join(("[Other]", "Name=\u96fb\u6e90", "[Keldrin]",
                                                        "PowerOperation=4", "PowerWaitMin=2", "PowerWaitSec=45"))
                             + "\r\n").encode("utf-16-le"), (op + 4, dest, "2", "45")),
    )


class HostileTestCase(KeldrinTestCase):

    def setUp(self):
        super().setUp()
        self.p = self.probe()

    def use_module(self, module: str) -> None:
        """A program folder whose only module is the hostile one, as Keldrin.Eng.dll."""
        built = os.path.join(HOSTILE_MODULES, module, "Keldrin.Eng.dll")
        self.assertTrue(os.path.isfile(built), "%s is not built (target hostile_%s)" % (built, module))
        self.folder = ProgramFolder("%s-%s" % (self.id(), module), modules=())
        shutil.copy2(built, self.folder.path)

    def crash_dialogs(self):
        """Wine's crash dialog of any process; each found is closed and its debugger ended."""
        found = []
        while True:
            hwnd = self.p.wait_window(0, timeout=0.05, title="Program Error")
            if hwnd is None or hwnd in found:
                break
            found.append(hwnd)
            self.p.close(hwnd)
        for pid in wine_pids("winedbg"):
            os.kill(pid, signal.SIGKILL)
        return found

    def assertCleanEnd(self, result, what: str) -> None:
        self.assertFalse(result.timed_out, "%s: the run did not end by itself" % what)
        self.assertNotIn("wine: Unhandled", result.trace, "%s crashed" % what)
        self.assertEqual(0, result.exit_code, what)
        self.assertEqual([], self.crash_dialogs(), "%s: a crash dialog appeared" % what)

    def assertFourLines(self, path: str) -> dict:
        """Exactly one section of the program's, holding exactly its lines; their values, numbers but the program's name."""
        self.assertTrue(os.path.isfile(path), "no settings file %s" % path)
        lines = ini_lines(read_bytes(path))
        bounds = section_bounds(lines, "Keldrin")
        self.assertEqual(1, len(bounds), "[Keldrin] %d times in %s" % (len(bounds), path))
        entries = section_entries(lines, *bounds[0])
        self.assertEqual(list(SAVED_KEYS), [key for key, _ in entries], entries)
        try:
            return {key: value if key == "PowerWatchProgram" else int(value) for key, value in entries}
        except ValueError:
            self.fail("a saved value is no number: %r" % entries)

    def open_main_dialog(self):
        launch = self.start(None, relay=False)
        hwnd = self.p.wait_window(launch.pid, timeout=15)
        self.assertIsNotNone(hwnd, "the main dialog did not appear")
        return launch, hwnd

    def cancel(self, launch, hwnd, what: str):
        self.p.click(hwnd, IDCANCEL)
        result = launch.wait()
        self.assertCleanEnd(result, what)
        return result

    def open_countdown(self, tail: str):
        launch = self.start(tail, timeout=60)
        hwnd = self.p.wait_window(launch.pid, timeout=15)
        self.assertIsNotNone(hwnd, "Keldrin.exe %s opened no window" % tail)
        return launch, hwnd

    def first_remaining_text(self, hwnd) -> str:
        """The remaining time as the countdown's first tick shows it, read within its first second."""
        opened = time.monotonic()
        text = ""
        while not text and time.monotonic() - opened < 1:
            time.sleep(0.02)
            text = self.p.text(hwnd, ID.IDC_REMAINING)
        return text

    def texts_set(self, result, control_id: int):
        return [relay_text(call.args[2]) for call in result.calls
                if call.name == "user32.SetDlgItemTextW" and int(call.args[1], 16) == control_id]


class SettingsFile(HostileTestCase):
    """A hand-made settings file: the dialog opens on what it reads, and Cancel
    leaves one proper section of four lines beside any other section intact."""

    def test_damaged_and_odd_files_are_read_and_rewritten_cleanly(self):
        for what, content, (operation, destination, minutes, seconds) in settings_cases():
            with self.subTest(file=what):
                self.folder = ProgramFolder("%s-%s" % (self.id(), what))
                path = self.folder.settings_path
                write_bytes(path, content)
                launch, hwnd = self.open_main_dialog()
                operations = [i for i in OPERATION_RADIOS if self.p.checked(hwnd, i)]
                destinations = [i for i in DESTINATION_RADIOS if self.p.checked(hwnd, i)]
                shown_min, shown_sec = self.p.text(hwnd, ID.IDC_WAIT_MIN), self.p.text(hwnd, ID.IDC_WAIT_SEC)
                self.cancel(launch, hwnd, what)

                if operation is not None:
                    self.assertEqual([operation] if operation else [], operations)
                if destination is not None:
                    self.assertEqual([destination] if destination else [], destinations)
                if minutes is not None:
                    self.assertEqual(minutes, shown_min)
                if seconds is not None:
                    self.assertEqual(seconds, shown_sec)
                self.assertIn(int(shown_min), range(0, 1441))
                self.assertIn(int(shown_sec), range(0, 60))

                # What Cancel saves is what the dialog showed.
                saved = self.assertFourLines(path)
                self.assertEqual(int(shown_min), saved["PowerWaitMin"])
                for shown, key, codes, first in (
                        (operations, "PowerOperation", range(1, 10), OPERATION_RADIOS[0] - 1),
                        (destinations, "PowerDestination", range(0, 4), DESTINATION_RADIOS[0])):
                    if shown:
                        self.assertEqual(shown[0] - first, saved[key])
                    else:
                        self.assertNotIn(saved[key], codes, "%s %d saved, but no radio shown" % (key, saved[key]))
                after = read_bytes(path)
                self.assertEqual(content[:2] == b"\xff\xfe", after[:2] == b"\xff\xfe", "encoding changed")
                if section_bounds(ini_lines(content), "Other"):
                    self.assertEqual(section_text(content, "Other"), section_text(after, "Other"))


class ModulesMissingParts(HostileTestCase):

    def test_without_any_string_the_texts_are_empty_and_everything_still_runs(self):
        self.use_module("no_strings")
        launch, hwnd = self.open_main_dialog()
        self.cancel(launch, hwnd, "main dialog without strings")
        self.assertFourLines(self.folder.settings_path)

        launch, hwnd = self.open_countdown("--monitoroff --wait 2")
        self.assertEqual("2", self.first_remaining_text(hwnd))
        caption = self.p.text(hwnd, ID.IDC_OPERATION_CAPTION)    # as the first tick left it
        result = launch.wait()
        self.assertCleanEnd(result, "countdown without strings")
        self.assertEqual("", caption)
        self.assertEqual(["", "", ""], self.texts_set(result, ID.IDC_OPERATION_CAPTION))
        self.assertEqual(["2", "1", "0"], self.texts_set(result, ID.IDC_REMAINING), "neutral remaining-time text")
        self.assertEqual([MONITOR_OFF], [call.pair for call in result.power_calls])

    def test_a_missing_template_shows_nothing_and_the_run_closes_down(self):
        for module, tail in (("no_main_template", None), ("no_countdown_template", "--monitoroff --wait 3")):
            with self.subTest(module=module):
                self.use_module(module)
                result = self.run_keldrin(tail, timeout=20)
                self.assertCleanEnd(result, module)
                self.assertEqual([], result.power_calls)
                self.assertEqual([], countdown_timers(result.calls))
                saved = self.assertFourLines(self.folder.settings_path)
                self.assertEqual(6 if tail else 0, saved["PowerOperation"])

    def test_without_the_icon_the_dialogs_have_none(self):
        for module in ("no_icon", None):
            with self.subTest(module=module or "real module"):
                if module:
                    self.use_module(module)
                else:
                    self.folder = ProgramFolder(self.id() + "-real", ("Keldrin.Eng.dll",))
                launch = self.start(None)
                hwnd = self.p.wait_window(launch.pid, timeout=15)
                self.assertIsNotNone(hwnd, "the main dialog did not appear")
                result = self.cancel(launch, hwnd, "main dialog")
                # WM_GETICON does not cross processes under Wine; the trace shows what was set.
                icons = [int(call.args[3], 16) for call in result.calls
                         if call.name == "user32.SendMessageW" and call.args[1] == "00000080"]
                self.assertEqual(2, len(icons), "WM_SETICON sent %d times" % len(icons))
                if module:
                    self.assertEqual([0, 0], icons)
                else:
                    self.assertNotIn(0, icons, "the real module's icon is not shown: the check above means nothing")

    def test_wrong_format_strings_are_replaced_by_neutral_texts(self):
        self.use_module("bad_formats")
        launch, hwnd = self.open_countdown("--monitoroff --wait 61")
        first = self.first_remaining_text(hwnd)
        deadline = time.monotonic() + 5
        while self.p.text(hwnd, ID.IDC_REMAINING) == first and time.monotonic() < deadline:
            time.sleep(0.05)
        self.p.click(hwnd, IDCANCEL)
        result = launch.wait()
        self.assertCleanEnd(result, "countdown with wrong formats")
        self.assertEqual("1:01", first)
        self.assertEqual(["1:01", "60"], self.texts_set(result, ID.IDC_REMAINING)[:2])
        self.assertEqual([], result.power_calls)

        # Shortcut names: a Quick Launch shortcut that cannot be written names
        # its file in the message, so nothing lands anywhere.
        if os.path.exists(QUICK_LAUNCH):
            aside = QUICK_LAUNCH + ".hostile-aside"
            os.rename(QUICK_LAUNCH, aside)
            self.addCleanup(os.rename, aside, QUICK_LAUNCH)
        module = self.folder.windows_path + "\\Keldrin.Eng.dll"
        name = "%s %s 2 min 5 s.lnk" % (self.p.module_string(module, ID.IDS_PRODUCT_NAME),
                                        self.p.module_string(module, ID.IDS_OPERATION_NAME_FIRST + 1))
        launch, hwnd = self.open_main_dialog()
        fill_in_main_dialog(self.p, hwnd, (ID.IDC_OP_SHUTDOWN, ID.IDC_DEST_QUICKLAUNCH), "2", "5")
        self.p.click(hwnd, IDOK)
        deadline = time.monotonic() + 10
        boxes = []
        while not boxes and time.monotonic() < deadline:
            time.sleep(0.05)
            boxes = [w.hwnd for w in self.p.windows(launch.pid) if w.visible and w.hwnd != hwnd and w.cls == "#32770"]
        self.assertTrue(boxes, "no message about the shortcut")
        message = self.p.text(boxes[0], MESSAGE_TEXT)
        self.p.click(boxes[0], IDOK)
        self.cancel(launch, hwnd, "shortcut with a wrong name format")
        self.assertTrue(message.endswith("\\" + name), message)
        self.assertFalse(os.path.exists(QUICK_LAUNCH))


class ScreenSaverValue(HostileTestCase):
    """Only a "1" the program can read and write is ever switched off."""

    def setUp(self):
        super().setUp()
        self.keep_saver_value(self.p)

    def deny_desktop_key(self):
        """Refuses everyone the key (key_access.exe); returns what gives it back, also run at cleanup."""
        denied = subprocess.run(wine(KEY_ACCESS, "deny", DESKTOP_KEY), env=wine_env(), stdout=subprocess.PIPE,
                                stderr=subprocess.DEVNULL, timeout=60, check=False)
        self.assertEqual(0, denied.returncode, "key_access deny failed")
        security = [denied.stdout.decode().strip()]

        def allow():
            if security:
                subprocess.run(wine(KEY_ACCESS, "allow", DESKTOP_KEY, security.pop()), env=wine_env(),
                               stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, timeout=60, check=True)
        self.addCleanup(allow)
        return allow

    def test_odd_values_and_a_refused_key_are_left_alone(self):
        # The plain "1" shows that a switch would be seen: off, then on again.
        cases = (("plain 1", "1", False, 2), ("REG_DWORD 1", 1, False, 0),
                 ("300 characters", "1" + "x" * 299, False, 0), ("key refused", "1", True, 0))
        for what, value, deny, switches in cases:
            with self.subTest(case=what):
                self.folder = ProgramFolder("%s-%s" % (self.id(), what))
                self.folder.write_settings(SaverLockOff=1)
                self.p.reg_set(DESKTOP, SAVER, value)
                allow = self.deny_desktop_key() if deny else lambda: None
                if deny:
                    self.assertIsNone(self.p.reg_get(DESKTOP, SAVER), "the key can still be read")
                result = self.run_keldrin("--monitoroff --wait 1", timeout=20)
                allow()
                after = self.p.reg_get(DESKTOP, SAVER)
                self.assertCleanEnd(result, what)
                self.assertEqual([MONITOR_OFF], [call.pair for call in result.power_calls])
                writes = saver_writes(result.calls)
                self.assertEqual(switches, len(writes), [call.args for call in writes])
                self.assertEqual((type(value), value), (type(after), after))
                self.assertFourLines(self.folder.settings_path)


class ProgramFolderNames(HostileTestCase):

    def move_into(self, *names: str) -> str:
        """Moves the program folder's files into a folder below it; returns that folder."""
        inner = os.path.join(self.folder.path, *names)
        os.makedirs(inner)
        for name in self.folder.files():
            if os.path.isfile(os.path.join(self.folder.path, name)):
                shutil.move(os.path.join(self.folder.path, name), inner)
        return inner

    def test_japanese_and_unrepresentable_characters(self):
        self.folder.path = self.move_into("\u96fb\u6e90 \u2713 \u00e9")
        self.folder.exe = os.path.join(self.folder.path, "Keldrin.exe")
        result = self.run_keldrin("--monitoroff")
        self.assertCleanEnd(result, "--monitoroff")
        self.assertEqual([MONITOR_OFF], [call.pair for call in result.power_calls])
        self.assertEqual(6, self.assertFourLines(self.folder.settings_path)["PowerOperation"])

        launch, hwnd = self.open_main_dialog()
        self.p.click(hwnd, ID.IDC_UPDATE)
        self.assertCleanEnd(launch.wait(), "update button")
        description = read_bytes(os.path.join(self.folder.path, "Keldrin.kvx"))
        # Code page 932 holds the Japanese, not the check mark nor the e-acute: "?" each.
        folder = self.folder.windows_path.encode("cp932", errors="replace") + b"\\"
        self.assertIn("\u96fb\u6e90 ? ?\\".encode("cp932"), folder)
        lines = description.split(b"\r\n")
        self.assertEqual(b"", lines.pop())
        self.assertEqual(6, len(lines), description)
        self.assertEqual(5, sum(folder in line for line in lines), description.decode("cp932"))

    def test_a_folder_path_as_long_as_linux_allows(self):
        # Linux takes paths of up to 4096 bytes (PATH_MAX), each name up to 255.
        # Wine 8 starts no program through CreateProcessW from a path beyond
        # MAX_PATH (and winepath cuts such paths), so this run goes through the
        # wine loader with the Unix path. There LoadLibraryExW refuses module
        # paths beyond MAX_PATH (ERROR_INVALID_NAME), so the program may well
        # find no module and ask for one: that counts as failing cleanly.
        top = self.folder.path
        names = []
        while len(os.path.join(top, *names).encode()) + 200 + len("/Keldrin-%s.ini" % USER) < 4000:
            names.append("%03d" % len(names) + "d" * 197)
        deep = self.move_into(*names)
        before = self.files_below(top, CONFIG.prefix + "/drive_c")
        started = time.time()
        process = subprocess.Popen(wine(os.path.join(deep, "Keldrin.exe"), "--monitoroff"), cwd=deep,
                                   env=wine_env(), stdout=subprocess.DEVNULL, stderr=subprocess.PIPE)
        self.addCleanup(lambda: process.poll() is None and process.kill())
        asked = None
        deadline = time.monotonic() + 20
        while process.poll() is None and asked is None and time.monotonic() < deadline:
            asked = self.p.wait_window(0, timeout=0.2, title="Marlowen")
        if asked is not None:
            self.p.click(asked, IDYES)    # the hand-off writes, the riskier answer
        try:
            _, errors = process.communicate(timeout=20)
        except subprocess.TimeoutExpired:
            self.fail("the program did not end")
        self.assertNotIn(b"wine: Unhandled", errors)
        self.assertEqual(0, process.returncode)
        self.assertEqual([], self.crash_dialogs())

        new = [path for path, stamp in self.files_below(top, CONFIG.prefix + "/drive_c").items()
               if before.get(path) != stamp and stamp >= started - 1]
        # Where the probe file's path is too long to create (seen: 4,007 bytes, not
        # 3,962), the program keeps its files in the per-user folder, as documented.
        per_user = os.path.join(USER_FOLDER, "AppData", "Roaming", "Marlowen", "Keldrin")
        self.assertEqual([], [path for path in new if os.path.dirname(path) not in (deep, per_user)],
                         "files outside the folder")
        # Failed cleanly (no module found, and Yes wrote the update description), or ran and saved.
        settings = [os.path.basename(self.folder.settings_path), "Keldrin.ini"]
        names = ["Keldrin.kvx"] * 2 if asked is not None else settings
        self.assertTrue({os.path.join(deep, names[0]), os.path.join(per_user, names[1])} & set(new), "saved nothing")

    @staticmethod
    def files_below(*folders: str) -> dict:
        found = {}
        for folder in folders:
            for parent, _, names in os.walk(folder):
                for name in names:
                    path = os.path.join(parent, name)
                    if os.path.isfile(path):
                        found[path] = os.stat(path).st_mtime
        return found


class Faults(HostileTestCase):

    def setUp(self):
        super().setUp()
        self.keep_saver_value(self.p)

    def switched_off_countdown(self):
        """A countdown that has switched the screen-saver password off."""
        self.p.reg_set(DESKTOP, SAVER, "1")
        launch, hwnd = self.open_countdown("--monitoroff --wait 60")
        deadline = time.monotonic() + 5
        while self.p.reg_get(DESKTOP, SAVER) != "0" and time.monotonic() < deadline:
            time.sleep(0.02)
        self.assertEqual("0", self.p.reg_get(DESKTOP, SAVER), "the countdown did not switch the password off")
        return launch

    def test_a_killed_countdown_gets_the_password_back_at_the_next_start(self):
        write_bytes(self.folder.settings_path, ini(*OTHER, "[Keldrin]", "PowerSaverLockOff=1"))
        other = section_text(read_bytes(self.folder.settings_path), "Other")
        launch = self.switched_off_countdown()
        launch.kill()
        self.assertEqual(1, launch.wait().exit_code, "not ended by TerminateProcess")
        self.assertEqual("0", self.p.reg_get(DESKTOP, SAVER))
        mark = section_text(read_bytes(self.folder.settings_path), "Keldrin.Recovery")
        self.assertIn("PowerSaverLockRestore=1", [line.strip() for line in mark.splitlines()])

        result = self.run_keldrin("--monitoroff")
        self.assertCleanEnd(result, "the next start")
        self.assertEqual("1", self.p.reg_get(DESKTOP, SAVER))
        self.assertFourLines(self.folder.settings_path)
        self.assertEqual(other, section_text(read_bytes(self.folder.settings_path), "Other"))

    def test_two_copies_saving_at_once_leave_one_valid_section(self):
        write_bytes(self.folder.settings_path, ini("[Keldrin]", "PowerOperation=6", *OTHER))
        other = section_text(read_bytes(self.folder.settings_path), "Other")
        for round_number in range(4):
            for kind in ("--monitoroff", "main dialog"):
                with self.subTest(round=round_number, kind=kind):
                    pair = [self.start(None if kind == "main dialog" else kind, relay=False) for _ in range(2)]
                    if kind == "main dialog":
                        dialogs = [self.p.wait_window(launch.pid, timeout=15) for launch in pair]
                        self.assertNotIn(None, dialogs)
                        for hwnd in dialogs:
                            self.p.command("post", "%x" % hwnd, 0, WM_COMMAND, IDCANCEL, 0)
                    for launch in pair:
                        self.assertCleanEnd(launch.wait(), kind)
                    saved = self.assertFourLines(self.folder.settings_path)
                    self.assertEqual((6, 0), (saved["PowerOperation"], saved["PowerWaitMin"]))
                    self.assertEqual(other, section_text(read_bytes(self.folder.settings_path), "Other"))

    # The mark alone cannot tell a killed countdown from one still running in
    # another copy: the running copy holds a mutex, and keeps its mark out of
    # the section other copies' saves replace.
    def test_a_start_during_the_wait_leaves_the_password_off(self):
        self.folder.write_settings(SaverLockOff=1)
        self.switched_off_countdown()
        launch, hwnd = self.open_main_dialog()
        self.cancel(launch, hwnd, "main dialog during the countdown")
        self.assertEqual("0", self.p.reg_get(DESKTOP, SAVER), "the password came back during the wait")

    def test_a_save_by_another_copy_keeps_the_mark_of_a_running_countdown(self):
        self.folder.write_settings(SaverLockOff=1)
        launch, hwnd = self.open_main_dialog()
        countdown = self.switched_off_countdown()
        self.cancel(launch, hwnd, "main dialog opened before the countdown")
        countdown.kill()
        self.assertCleanEnd(self.run_keldrin("--monitoroff"), "the next start")
        self.assertEqual("1", self.p.reg_get(DESKTOP, SAVER), "the password stays off for good")


if __name__ == "__main__":
    unittest.main()
