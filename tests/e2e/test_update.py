"""The update hand-off of the shipped Keldrin.exe: the description file it
leaves, and what it starts.

The updater here is a stand-in Fennrick.exe (fennrick_standin.cpp) that notes
its command line in fennrick-starts.txt beside itself and ends. The launch
itself is read from Wine's relay trace of shell32.ShellExecuteW (its strings
are traced) and, for the elevated launch through ShellExecuteExW, from the
shell's own "exec" trace, which names the verb and mask.
"""

import os
import re
import shutil
import subprocess
import time
import unittest

import e2e_user
from keldrin_e2e import (CHILD_WINEDEBUG, CONFIG, ID, IDNO, IDYES, RELAY_KEY, KeldrinTestCase, Probe, _prepare_prefix,
                         read_bytes, wine, wine_env)

STANDIN = os.path.join(os.path.dirname(CONFIG.probe), "Fennrick.exe")
STARTS = "fennrick-starts.txt"
PROBE_FILE = "__marlowen_check_writable.txt"
SHELL_CALLS = ("shell32.ShellExecuteW", "shell32.ShellExecuteExW")
BASE_URL = "http://www.marlowen.example/sources/Keldrin32"
CLASSES = r"HKCU\Software\Classes"
# Wine's shell looks up file types in HKEY_CLASSES_ROOT only, which it does not
# merge with the user's classes as Windows does; the program itself tests the
# user's keys first. The opening through the type is seen with a copy here.
MACHINE_CLASSES = r"HKLM\Software\Classes"

_saved_relay = None


def setUpModule():
    global _saved_relay
    _prepare_prefix()
    with Probe() as probe:
        _saved_relay = probe.reg_get(RELAY_KEY, "RelayInclude")
        entries = _saved_relay.split(";") if _saved_relay else []
        probe.reg_set(RELAY_KEY, "RelayInclude", ";".join(entries + [n for n in SHELL_CALLS if n not in entries]))


def tearDownModule():
    if _saved_relay is not None:
        with Probe() as probe:
            probe.reg_set(RELAY_KEY, "RelayInclude", _saved_relay)


def description_bytes(program_folder: str) -> bytes:
    """The six lines of the fixed request for a program in program_folder (ending in a backslash)."""
    lines = ['--download "%s/%s;%s%s"' % (BASE_URL, name, program_folder, name)
             for name in ("Keldrin.exe", "Keldrin.Jpn.dll", "Keldrin.chm", "Readme.txt")]
    lines += ['--restart "%sKeldrin.exe"' % program_folder, "--confirm"]
    return "".join(line + "\r\n" for line in lines).encode("cp932")


def read_starts(folder: str, expected: int = 1, timeout: float = 10.0) -> list:
    """The stand-in's records in folder once `expected` are there (the program
    does not wait for the updater), or what is there after the timeout."""
    path = os.path.join(folder, STARTS)
    deadline = time.monotonic() + timeout
    while True:
        lines = []
        if os.path.isfile(path):
            lines = [line for line in read_bytes(path).decode("utf-8").split("\r\n") if line]
        if len(lines) >= expected or time.monotonic() > deadline:
            return [tuple(line.split("\t", 1)) for line in lines]
        time.sleep(0.05)


def shell_calls(result):
    return [call for call in result.calls if call.name in SHELL_CALLS]


def wide(text: str) -> str:
    """A string argument as the relay trace prints it."""
    return 'L"%s"' % text.replace("\\", "\\\\").replace('"', '\\"')


def delete_key(key: str, env: dict, command=wine) -> None:
    subprocess.run(command("reg", "delete", key, "/f"), env=env, stdout=subprocess.DEVNULL,
                   stderr=subprocess.DEVNULL, timeout=60, check=False)


def click_in_first_window(case: KeldrinTestCase, control_id: int, what: str):
    """Starts the program without arguments and clicks control_id in the first
    window it shows (`what`); the run must then end with exit code 0."""
    launch = case.start(None)
    probe = case.probe()
    window = probe.wait_window(launch.pid, timeout=10)
    case.assertIsNotNone(window, "%s did not appear" % what)
    probe.click(window, control_id)
    result = launch.wait()
    case.assertEqual(0, result.exit_code)
    return result


class UpdateFromMainDialog(KeldrinTestCase):
    """The main dialog's update button ends the run with the hand-off."""

    def press_update(self):
        return click_in_first_window(self, ID.IDC_UPDATE, "the main dialog")

    def description(self) -> bytes:
        return read_bytes(os.path.join(self.folder.path, "Keldrin.kvx"))

    def assertOpened(self, result, file: str, parameters: str):
        calls = shell_calls(result)
        self.assertEqual(1, len(calls), "expected one ShellExecuteW, saw %s" % (calls,))
        call = calls[0]
        self.assertEqual("shell32.ShellExecuteW", call.name)
        # (owner, verb, file, parameters, folder, show): no owner, "open", no folder, SW_SHOWNORMAL.
        self.assertEqual("00000000", call.args[0])
        self.assertTrue(call.args[1].endswith(' L"open"'), call.args[1])
        self.assertTrue(call.args[2].endswith(" " + wide(file)), call.args[2])
        if parameters is None:
            self.assertEqual("00000000", call.args[3])
        else:
            self.assertTrue(call.args[3].endswith(" " + wide(parameters)), call.args[3])
        self.assertEqual(["00000000", "00000001"], call.args[4:])

    def test_update_button_writes_the_description_and_starts_the_updater(self):
        shutil.copy2(STANDIN, self.folder.path)
        result = self.press_update()
        folder = self.folder.windows_path + "\\"
        self.assertEqual(description_bytes(folder), self.description())
        self.assertNotIn(PROBE_FILE, self.folder.files())

        kvx = folder + "Keldrin.kvx"
        self.assertOpened(result, folder + "Fennrick.exe", '"%s"' % kvx)
        starts = read_starts(self.folder.path)
        self.assertEqual(1, len(starts), starts)
        command_line, _ = starts[0]
        self.assertTrue(command_line.endswith(' "%s"' % kvx), command_line)

    def test_registered_type_opens_the_description_instead(self):
        shutil.copy2(STANDIN, self.folder.path)   # present, but not to be used
        elsewhere = os.path.join(self.folder.path, "registered")
        os.makedirs(elsewhere)
        shutil.copy2(STANDIN, elsewhere)
        command = '"%s\\Fennrick.exe" "%%1"' % (self.folder.windows_path + "\\registered")
        probe = self.probe()
        for root in (CLASSES, MACHINE_CLASSES):
            self.addCleanup(delete_key, root + r"\.kvx", wine_env())
            self.addCleanup(delete_key, root + r"\FennrickFormat", wine_env())
        probe.reg_set(CLASSES + r"\.kvx", "", "FennrickFormat")
        probe.reg_set(CLASSES + r"\FennrickFormat\shell\open\command", "", command)
        kvx = self.folder.windows_path + "\\Keldrin.kvx"

        with self.subTest("registered for the user only: the program opens the file"):
            result = self.press_update()
            self.assertOpened(result, kvx, None)
            self.assertEqual(description_bytes(self.folder.windows_path + "\\"), self.description())

        with self.subTest("registered where Wine's shell finds it: the registered command runs"):
            probe.reg_set(MACHINE_CLASSES + r"\.kvx", "", "FennrickFormat")
            probe.reg_set(MACHINE_CLASSES + r"\FennrickFormat\shell\open\command", "", command)
            result = self.press_update()
            self.assertOpened(result, kvx, None)
            starts = read_starts(elsewhere)
            self.assertEqual(1, len(starts), starts)
            self.assertTrue(starts[0][0].endswith(' "%s"' % kvx), starts[0])
            self.assertEqual([], read_starts(self.folder.path, timeout=1))

    def test_without_updater_or_registration_the_file_stays(self):
        result = self.press_update()
        self.assertEqual([], shell_calls(result))
        self.assertEqual(description_bytes(self.folder.windows_path + "\\"), self.description())
        self.assertNotIn(PROBE_FILE, self.folder.files())

    def test_closing_the_dialog_requests_no_update(self):
        shutil.copy2(STANDIN, self.folder.path)
        launch = self.start(None)
        probe = self.probe()
        dialog = probe.wait_window(launch.pid, timeout=10)
        self.assertIsNotNone(dialog, "the main dialog did not appear")
        probe.close(dialog)
        result = launch.wait()
        self.assertEqual([], shell_calls(result))
        self.assertNotIn("Keldrin.kvx", self.folder.files())
        self.assertEqual([], read_starts(self.folder.path, timeout=1))


class UpdateForMissingModule(KeldrinTestCase):
    """Without any resource module the program offers to fetch it."""

    modules = ()

    def answer(self, button):
        shutil.copy2(STANDIN, self.folder.path)
        return click_in_first_window(self, button, "the question about the missing module")

    def test_yes_hands_off_the_update(self):
        self.answer(IDYES)
        folder = self.folder.windows_path + "\\"
        self.assertEqual(description_bytes(folder), read_bytes(os.path.join(self.folder.path, "Keldrin.kvx")))
        starts = read_starts(self.folder.path)
        self.assertEqual(1, len(starts), starts)
        self.assertTrue(starts[0][0].endswith(' "%sKeldrin.kvx"' % folder), starts[0])

    def test_no_leaves_nothing_behind(self):
        result = self.answer(IDNO)
        self.assertEqual([], shell_calls(result))
        self.assertNotIn("Keldrin.kvx", self.folder.files())
        self.assertEqual([], read_starts(self.folder.path, timeout=1))


def _shell_execute_trace(trace: str) -> list:
    """The launches the shell's exec channel reports: mask=... verb=... file=... parm=... lines."""
    return [line.split("trace:exec:SHELL_execute ", 1)[1] for line in trace.splitlines()
            if "trace:exec:SHELL_execute mask=" in line]


_skip = e2e_user.skip_reason()


@unittest.skipIf(_skip, "unprivileged-user cases skipped: %s" % _skip)
class UpdateFromUnwritableFolder(unittest.TestCase):
    """An unprivileged user runs the program from a folder that user cannot write."""

    user = None

    @classmethod
    def setUpClass(cls):
        cls.user = e2e_user.UnprivilegedUser("keldrin-update")
        cls.user.create(extra_relay=SHELL_CALLS)

    @classmethod
    def tearDownClass(cls):
        if cls.user is not None:
            cls.user.remove()

    def setUp(self):
        self.folder = self.user.program_folder(self.id())
        shutil.copy2(STANDIN, self.folder.path)
        # The stand-in notes its start beside itself, in a folder nobody but root may write.
        record = os.path.join(self.folder.path, STARTS)
        open(record, "wb").close()
        os.chmod(record, 0o666)
        os.chmod(self.folder.path, 0o555)
        self.data = os.path.join(self.user.app_data(), "Marlowen", "Keldrin")
        shutil.rmtree(os.path.join(self.user.app_data(), "Marlowen"), ignore_errors=True)

    def press_update(self):
        launch = self.user.start(self.folder, None, child_debug=CHILD_WINEDEBUG + ",+exec")
        self.addCleanup(launch.kill)
        with self.user.probe() as probe:
            dialog = probe.wait_window(launch.pid, timeout=10)
            self.assertIsNotNone(dialog, "the main dialog did not appear")
            probe.click(dialog, ID.IDC_UPDATE)
        result = launch.wait()
        self.assertEqual(0, result.exit_code)
        return result

    def assertElevated(self, result, file: str, parameters: str):
        self.assertEqual(["shell32.ShellExecuteExW"], [call.name for call in shell_calls(result)])
        launches = _shell_execute_trace(result.trace)
        self.assertEqual(1, len(launches), launches)
        # Wine prints the window handle pointer-sized: 8 digits or 16.
        self.assertRegex(launches[0], "^" + re.escape(
            'mask=0x00000500 hwnd=%s verb=L"runas" file=%s parm=%s dir=(null) show=0x00000001'
            % ("HWND", wide(file), parameters if parameters == "(null)" else wide(parameters))).replace(
                "HWND", "(?:00000000){1,2}"))

    def test_description_goes_to_the_users_folder_and_the_updater_is_elevated(self):
        result = self.press_update()
        program = self.user.windows_path(self.folder.path) + "\\"
        self.assertEqual(description_bytes(program), read_bytes(os.path.join(self.data, "Keldrin.kvx")))
        self.assertNotIn("Keldrin.kvx", self.folder.files())
        self.assertNotIn(PROBE_FILE, self.folder.files())

        kvx = self.user.windows_path(os.path.join(self.data, "Keldrin.kvx"))
        self.assertElevated(result, program + "Fennrick.exe", '"%s"' % kvx)
        starts = read_starts(self.folder.path)
        self.assertEqual(1, len(starts), starts)
        self.assertTrue(starts[0][0].endswith(' "%s"' % kvx), starts[0])

    def test_registered_type_is_opened_elevated(self):
        env = self.user.env()
        for key in (r"\.kvx", r"\FennrickFormat"):
            self.addCleanup(delete_key, CLASSES + key, env, lambda *args: self.user.command(self.user.wine(*args)))
        with self.user.probe() as probe:
            probe.reg_set(CLASSES + r"\.kvx", "", "FennrickFormat")
            probe.reg_set(CLASSES + r"\FennrickFormat\shell\open\command", "", '"C:\\none.exe" "%1"')
        result = self.press_update()
        kvx = self.user.windows_path(os.path.join(self.data, "Keldrin.kvx"))
        self.assertElevated(result, kvx, "(null)")
        self.assertEqual([], read_starts(self.folder.path, timeout=1))


if __name__ == "__main__":
    unittest.main()
