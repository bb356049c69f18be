"""Repeating through Windows' Task Scheduler with the shipped Keldrin.exe.

Wine's Task Scheduler answers only once its service runs (setUp starts it).
It keeps a registered task as a file under C:\\windows\\system32\\tasks\\Keldrin,
with its settings but without its triggers and actions, and cannot list a
folder; the XML itself is proved in-process. Nothing ever runs the tasks."""

import glob
import os
import re
import subprocess
import unittest

from keldrin_e2e import CONFIG, ID, IDCANCEL, IDOK, MESSAGE_TEXT, KeldrinTestCase, wine, wine_env

MODULE = "Keldrin.Jpn.dll"   # the module every test folder's program takes
TASKS = os.path.join(CONFIG.prefix, "drive_c", "windows", "system32", "tasks", "Keldrin")
CB_SETCURSEL = 0x014E


def registered():
    """The tasks' names and their stored XML (UTF-8 with a BOM, as Wine writes them)."""
    tasks = {}
    for path in glob.glob(os.path.join(TASKS, "*")):
        with open(path, "rb") as f:
            tasks[os.path.basename(path)] = f.read().decode("utf-8-sig", errors="replace")
    return tasks


class Schedules(KeldrinTestCase):

    def setUp(self):
        super().setUp()
        subprocess.run(wine("net", "start", "Schedule"), env=wine_env(), stdout=subprocess.DEVNULL,
                       stderr=subprocess.DEVNULL, timeout=60, check=False)
        for path in glob.glob(os.path.join(TASKS, "*")):
            os.remove(path)
        self.p = self.probe()

    def module_text(self, string_id):
        text = self.p.module_string(self.folder.windows_path + "\\" + MODULE, string_id)
        self.assertIsNotNone(text, "the module has no string %d" % string_id)
        return re.sub(r"%(0?\d*)l([sd])", r"%\1\2", text)

    def task_name(self, operation, hour, minute, days_id):
        return self.module_text(ID.IDS_SCHEDULE_NAME) % (
            self.module_text(ID.IDS_OPERATION_NAME_FIRST + operation), hour, minute, self.module_text(days_id))

    def test_every_weekdays_registers_and_unschedule_all_removes_it(self):
        result = self.run_keldrin("--shutdown --every weekdays --at 23:00")
        self.assertEqual((0, []), (result.exit_code, result.power_calls))
        name = self.task_name(1, 23, 0, ID.IDS_SCHEDULE_DAYS_WEEKDAYS)
        tasks = registered()
        self.assertEqual([name], list(tasks))
        for setting in ("<MultipleInstancesPolicy>IgnoreNew<", "<DisallowStartIfOnBatteries>false<",
                        "<StopIfGoingOnBatteries>false<", "<StartWhenAvailable>false<", "<WakeToRun>false<"):
            self.assertIn(setting, tasks[name])
        result = self.run_keldrin("--unschedule all")
        self.assertEqual(0, result.exit_code)
        self.assertEqual({}, registered())

    def test_a_malformed_every_registers_nothing(self):
        launch = self.start("--shutdown --every fridays --at 23:00", timeout=20)
        box = self.p.wait_window(launch.pid, timeout=10)
        self.assertIsNotNone(box, "nothing shown")
        self.assertEqual(self.module_text(ID.IDS_SCHEDULE_DAYS_MALFORMED) % "fridays", self.p.text(box, MESSAGE_TEXT))
        self.p.click(box, IDOK)
        result = launch.wait()
        self.assertEqual((1, []), (result.exit_code, result.power_calls))
        self.assertEqual({}, registered())

    def test_the_main_dialog_registers_a_task_the_list_shows_and_removes(self):
        launch = self.start(None, timeout=90)
        main = self.p.wait_window(launch.pid, timeout=15)
        self.assertIsNotNone(main, "no main dialog")
        self.p.click(main, ID.IDC_OP_REBOOT)
        self.p.click(main, ID.IDC_DEST_SCHEDULE)
        self.assertEqual(1, self.p.checked(main, ID.IDC_WHEN_AT), "the repetition takes the time of day")
        self.p.send(main, ID.IDC_SCHEDULE_DAYS, CB_SETCURSEL, 1)   # Monday to Friday
        self.p.click(main, ID.IDC_SCHEDULE_WAKE)
        self.p.click(main, IDOK)
        box = self.p.wait_other_window(launch.pid, {main})
        self.assertIsNotNone(box, "OK said nothing")
        name = self.task_name(2, 23, 0, ID.IDS_SCHEDULE_DAYS_WEEKDAYS)
        self.assertEqual(self.module_text(ID.IDS_SCHEDULE_REGISTERED) % name, self.p.text(box, MESSAGE_TEXT))
        self.p.click(box, IDOK)
        tasks = registered()
        self.assertEqual([name], list(tasks))
        self.assertIn("<WakeToRun>true<", tasks[name])

        self.p.click(main, ID.IDC_SCHEDULES_BUTTON)
        schedules = self.p.wait_other_window(launch.pid, {main, box})
        self.assertIsNotNone(schedules, "no list of schedules")
        self.assertEqual([name], self.p.rows(schedules, ID.IDC_SCHEDULES_LIST))
        self.p.click(schedules, ID.IDC_SCHEDULES_REMOVE)
        self.assertEqual([], self.p.rows(schedules, ID.IDC_SCHEDULES_LIST))
        self.assertEqual({}, registered())
        self.p.click(schedules, IDCANCEL)
        self.p.click(main, IDCANCEL)
        self.assertEqual([], launch.wait().power_calls)
        settings = self.folder.read_settings()
        self.assertEqual((3, 0x3E, 1), (settings["PowerDestination"], settings["PowerScheduleDays"],
                                        settings["PowerScheduleWake"]))


if __name__ == "__main__":
    unittest.main()
