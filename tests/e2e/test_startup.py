"""Start-up of the shipped Keldrin.exe: which resource module it takes and from
where, the question it asks when there is none, and where the settings file
goes, judged by the windows it shows and the files it leaves behind.
"""

import os
import pwd
import shutil
import subprocess
import unittest

import e2e_user
from keldrin_e2e import (CONFIG, ID, IDCANCEL, IDNO, IDYES, MESSAGE_TEXT, MODULE_NAMES, MONITOR_OFF, USER,
                         KeldrinTestCase, ProgramFolder, read_bytes, saved_settings, unix_to_windows_path, wine,
                         wine_env, write_bytes)

JPN, ENG, GENERIC = MODULE_NAMES
PROBE_FILE = "__marlowen_check_writable.txt"
QUESTION = ("Keldrin.Jpn.dll\u304c\u3042\u308a\u307e\u305b\u3093\r\n"
            "\u30c0\u30a6\u30f3\u30ed\u30fc\u30c9\u3057\u307e\u3059\u304b\uff1f\r\n\r\n"
            "Cannot find Keldrin.Eng.dll.\r\nDownload the file?")


def has_japanese(text):
    return any(ord(c) >= 0x3000 for c in text)


def scratch(name):
    """A fresh, empty folder of the build's scratch area."""
    path = os.path.join(CONFIG.build, "e2e-scratch", name.replace("/", "_"))
    shutil.rmtree(path, ignore_errors=True)
    os.makedirs(path)
    return path


def files_below(folder):
    found = []
    for parent, _, names in os.walk(folder):
        found += [os.path.relpath(os.path.join(parent, name), folder) for name in names]
    return sorted(found)


class StartupTestCase(KeldrinTestCase):

    def assertSettingsFile(self, path, section, operation, wait_min=0):
        self.assertTrue(os.path.isfile(path), "no settings file %s" % path)
        content = read_bytes(path)
        self.assertIn(content, saved_settings(section, operation, wait_min=wait_min),
                      "%s holds:\n%r" % (path, content))

    def assertRanMonitorOff(self, result, what):
        self.assertFalse(result.timed_out, "%s did not end by itself (a message box?)" % what)
        self.assertEqual(0, result.exit_code)
        self.assertIn(MONITOR_OFF, [call.pair for call in result.power_calls],
                      "%s: the monitor-off broadcast was not sent" % what)

    def main_dialog_texts(self):
        """Opens the main dialog (no arguments), returns {control id: text} and
        closes it with Cancel; the run must then end with exit code 0. Any
        other window fails the test (and the program is ended by the cleanup)."""
        launch = self.start(None, timeout=30, relay=False)
        probe = self.probe()
        hwnd = probe.wait_window(launch.pid, timeout=15)
        self.assertIsNotNone(hwnd, "no window opened")
        texts = {child.id: child.text for child in probe.children(hwnd)}
        self.assertIn(ID.IDC_OP_SHUTDOWN, texts, "window %r is not the main dialog: %r" % (probe.text(hwnd), texts))
        probe.click(hwnd, IDCANCEL)
        result = launch.wait()
        self.assertFalse(result.timed_out)
        self.assertEqual(0, result.exit_code)
        return texts


class SettingsFileBesideTheProgram(StartupTestCase):
    """A writable program folder holds <base name>-<user>.ini; the probe file goes again."""

    def test_monitoroff_leaves_the_four_lines_beside_the_program(self):
        result = self.run_keldrin("--monitoroff")
        self.assertRanMonitorOff(result, "--monitoroff")
        ini = "Keldrin-%s.ini" % USER
        self.assertEqual(sorted(("Keldrin.exe", ini) + MODULE_NAMES), self.folder.files())
        self.assertNotIn(PROBE_FILE, self.folder.files())
        self.assertSettingsFile(os.path.join(self.folder.path, ini), "Keldrin", 6, wait_min=0)

    def test_a_probe_file_another_process_holds_open_still_finds_the_folder_writable(self):
        # Another copy probing at the same moment, or a scanner, has the file open.
        probe = self.probe()
        probe.hold(self.folder.windows_path + "\\" + PROBE_FILE)
        self.addCleanup(probe.release)
        result = self.run_keldrin("--monitoroff")
        self.assertRanMonitorOff(result, "--monitoroff")
        ini = "Keldrin-%s.ini" % USER
        self.assertIn(ini, self.folder.files(), "the settings went elsewhere: the folder was taken as read-only")
        self.assertSettingsFile(os.path.join(self.folder.path, ini), "Keldrin", 6, wait_min=0)

    def test_a_renamed_program_names_its_own_file(self):
        os.rename(self.folder.exe, os.path.join(self.folder.path, "Power.exe"))
        result = self.run_keldrin("--monitoroff", exe=self.folder.windows_path + "\\Power.exe")
        self.assertRanMonitorOff(result, "Power.exe --monitoroff")
        ini = "Power-%s.ini" % USER
        self.assertEqual(sorted(("Power.exe", ini) + MODULE_NAMES), self.folder.files())
        self.assertSettingsFile(os.path.join(self.folder.path, ini), "Keldrin", 6)


class ModuleChoice(StartupTestCase):
    """Which module the program takes. All say "Keldrin"; the language of the
    main dialog's texts tells the Japanese module from the English ones."""

    def use_modules(self, *modules):
        self.folder = ProgramFolder(self.id(), modules)

    def test_the_japanese_module_wins_over_the_english_one(self):
        self.use_modules(JPN, ENG)
        texts = self.main_dialog_texts()
        self.assertTrue(has_japanese(texts[ID.IDC_OP_SHUTDOWN]), "shutdown button reads %r" % texts[ID.IDC_OP_SHUTDOWN])
        self.assertSettingsFile(self.folder.settings_path, "Keldrin", 0)

    def test_the_english_module_alone_gives_english_texts(self):
        self.use_modules(ENG)
        texts = self.main_dialog_texts()
        self.assertTrue(texts[ID.IDC_OP_SHUTDOWN].strip(), "the shutdown button has no text")
        japanese = {ident: text for ident, text in texts.items() if has_japanese(text)}
        self.assertEqual({}, japanese, "Japanese texts with only the English module")

    def test_the_generic_module_alone_is_used(self):
        self.use_modules(GENERIC)
        texts = self.main_dialog_texts()
        self.assertTrue(texts[ID.IDC_OP_SHUTDOWN].strip())
        self.assertSettingsFile(self.folder.settings_path, "Keldrin", 0)

    def test_a_module_in_the_dll_folder_of_the_working_directory_is_found(self):
        self.use_modules()
        work = scratch(self.id() + "-cwd")
        os.makedirs(os.path.join(work, "DLL"))
        shutil.copy2(os.path.join(CONFIG.dist, ENG), os.path.join(work, "DLL"))
        result = self.run_keldrin("--monitoroff", timeout=20, cwd=unix_to_windows_path(work))
        self.assertRanMonitorOff(result, "--monitoroff with the module in .\\DLL")
        self.assertSettingsFile(self.folder.settings_path, "Keldrin", 6)
        self.assertEqual([os.path.join("DLL", ENG)], files_below(work), "nothing is written where it was started")


class NoModuleAnywhere(StartupTestCase):
    """Without a module the program can only ask whether to fetch one."""

    modules = ()

    def answer_question(self, button):
        work = scratch(self.id() + "-cwd")    # a working directory with nothing in or around it
        launch = self.start(None, timeout=30, relay=False, cwd=unix_to_windows_path(work))
        probe = self.probe()
        hwnd = probe.wait_window(launch.pid, timeout=15)
        self.assertIsNotNone(hwnd, "no question appeared")
        top = [window for window in probe.windows(launch.pid) if window.hwnd == hwnd][0]
        text = probe.text(hwnd, MESSAGE_TEXT)
        buttons = {child.id for child in probe.children(hwnd) if child.cls.lower() == "button" and child.visible}
        probe.click(hwnd, button)
        result = launch.wait()

        self.assertEqual("#32770", top.cls)
        self.assertEqual("Marlowen", top.title)
        # The control may show each CR LF as a bare line feed.
        self.assertEqual(QUESTION.replace("\r\n", "\n"), text.replace("\r\n", "\n"))
        self.assertEqual({IDYES, IDNO}, buttons)
        self.assertFalse(result.timed_out)
        self.assertEqual(0, result.exit_code)
        self.assertEqual([], files_below(work))
        return result

    def test_answering_no_ends_the_run_without_a_settings_file(self):
        self.answer_question(IDNO)
        self.assertEqual(["Keldrin.exe"], self.folder.files())

    def test_answering_no_leaves_an_existing_settings_file_as_it_was(self):
        ini = self.folder.settings_path
        before = b"[Keldrin]\r\nPowerOperation=3\r\nPowerWaitSec=30\r\nPowerSaverLockOff=1\r\n"
        write_bytes(ini, before)
        self.answer_question(IDNO)
        self.assertEqual(before, read_bytes(ini))

    def test_answering_yes_hands_the_update_over_at_exit(self):
        self.answer_question(IDYES)
        self.assertEqual(["Keldrin.exe", "Keldrin.kvx"], self.folder.files())
        self.assertIn(b"Keldrin.Jpn.dll", read_bytes(os.path.join(self.folder.path, "Keldrin.kvx")),
                      "the update fetches the missing module")


class PlantedCodeNeverRuns(StartupTestCase):
    """A library with code planted under a module's name is read, never run."""

    modules = ()

    def setUp(self):
        super().setUp()
        built = os.path.dirname(CONFIG.probe)
        self.planted = os.path.join(built, "planted", ENG)
        self.loader = os.path.join(built, "load_library.exe")
        for path in (self.planted, self.loader):
            self.assertTrue(os.path.isfile(path), "%s is missing: build the planted_module and load_library"
                                                  " targets" % path)

    def test_the_marker_appears_when_the_library_is_loaded_the_ordinary_way(self):
        place = scratch(self.id() + "-loaded")
        shutil.copy2(self.planted, place)
        loaded = subprocess.run(wine(self.loader, unix_to_windows_path(os.path.join(place, ENG))),
                                env=wine_env(), stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, timeout=60)
        self.assertEqual(0, loaded.returncode, "load_library.exe could not load the planted library")
        self.assertEqual(sorted([ENG, "planted-module-ran.txt"]), files_below(place))

    def test_a_module_with_code_in_plugin_is_used_without_running_it(self):
        work = scratch(self.id() + "-cwd")
        os.makedirs(os.path.join(work, "PlugIn"))
        shutil.copy2(self.planted, os.path.join(work, "PlugIn"))
        result = self.run_keldrin("--monitoroff", timeout=20, cwd=unix_to_windows_path(work))
        self.assertRanMonitorOff(result, "--monitoroff with a planted .\\PlugIn\\" + ENG)
        self.assertEqual([os.path.join("PlugIn", ENG)], files_below(work), "the library's code ran")
        # Its product name names the settings section: the program did use it.
        self.assertEqual(["Keldrin-%s.ini" % USER, "Keldrin.exe"], self.folder.files())
        self.assertSettingsFile(self.folder.settings_path, "Keldrin Planted", 6)


_skip = e2e_user.skip_reason()


@unittest.skipIf(_skip, "unprivileged-user case skipped: %s" % _skip)
class UnwritableProgramFolder(unittest.TestCase):
    """A program folder its user cannot write to: the settings go to that user's
    application-data folder, as Keldrin.ini without a user part. Root writes
    everywhere, so the program runs as an unprivileged user of its own."""

    def setUp(self):
        self.user = e2e_user.UnprivilegedUser("keldrin-startup")
        self.addCleanup(self.user.remove)
        self.user.create()
        self.folder = self.user.program_folder(self.id(), modules=(ENG,))
        os.chmod(self.folder.path, 0o555)
        self.addCleanup(os.chmod, self.folder.path, 0o755)

    def test_settings_go_to_the_users_application_data_folder(self):
        data_folder = os.path.join(self.user.app_data(), "Marlowen", "Keldrin")
        launch = self.user.start(self.folder, "--monitoroff")
        self.addCleanup(launch.kill)
        self.assertEqual(0, launch.wait().exit_code)

        self.assertEqual(["Keldrin.Eng.dll", "Keldrin.exe"], self.folder.files())
        self.assertEqual(["Keldrin.ini"], files_below(data_folder))
        ini = os.path.join(data_folder, "Keldrin.ini")
        self.assertEqual(pwd.getpwnam(self.user.name).pw_uid, os.stat(ini).st_uid)
        self.assertIn(read_bytes(ini), saved_settings("Keldrin", 6))


if __name__ == "__main__":
    unittest.main()
