"""Watches of the shipped Keldrin.exe: it waits for the computer left alone, a
program's end, or a quiet processor, then counts down in the same window;
judged by that window's texts and by the power calls in the relay trace."""

import os
import shutil
import subprocess
import time
import unittest

from keldrin_e2e import (CONFIG, ID, IDOK, IDCANCEL, MESSAGE_TEXT, MONITOR_OFF, KeldrinTestCase, ProgramFolder,
                         wait_until, wine, wine_env)


class WatchTestCase(KeldrinTestCase):

    def setUp(self):
        super().setUp()
        self.p = self.probe()

    def module_text(self, string_id):
        return self.p.module_string(self.folder.windows_path + "\\Keldrin.Jpn.dll", string_id)

    def open_watch(self, tail):
        launch = self.start(tail, timeout=90)
        hwnd = self.p.wait_window(launch.pid, timeout=15)
        self.assertIsNotNone(hwnd, "Keldrin.exe %s opened no window" % tail)
        return launch, hwnd

    def watching(self, hwnd) -> bool:
        """The window waits (its title says so) rather than counts down."""
        return self.p.text(hwnd).startswith(self.module_text(ID.IDS_WATCH_TITLE).split("%")[0])

    def power_calls_so_far(self, launch):
        return [call for call in launch.trace() if call.pair == MONITOR_OFF]


class WaitsForWork(WatchTestCase):

    def test_idle_fires_a_countdown_after_the_input_stops_and_not_while_it_comes(self):
        launch, hwnd = self.open_watch("--monitoroff --idle-sec 4 --wait 3")
        last_move = int(self.p.command("move", 5000)) / 1000     # a hand on the mouse for 5 s
        self.assertTrue(self.watching(hwnd), "it stopped watching while the mouse moved")
        self.assertIn(self.module_text(ID.IDS_WATCH_IDLE_NOW).split("%")[0], self.p.text(hwnd, ID.IDC_REMAINING))
        result = launch.wait(timeout=40)
        self.assertEqual([MONITOR_OFF], [call.pair for call in result.power_calls])
        # 4 s unused, then the countdown, which a watch never makes shorter than 10 s.
        fired = result.power_calls[0].time - last_move
        self.assertGreaterEqual(fired, 13.9, "fired %.1f s after the last input" % fired)
        self.assertLess(fired, 16.5, "fired %.1f s after the last input" % fired)

    def test_after_exit_counts_down_once_the_program_has_ended(self):
        helper_folder = ProgramFolder(self.id() + "-helper", modules=())
        helper = os.path.join(helper_folder.path, "keldrin-helper.exe")
        shutil.copy2(CONFIG.probe, helper)
        process = subprocess.Popen(wine(helper, "serve"), env=wine_env(), stdin=subprocess.PIPE,
                                   stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        self.addCleanup(process.kill)
        time.sleep(2)   # running before the watch begins
        launch, hwnd = self.open_watch("--monitoroff --after-exit KELDRIN-HELPER.EXE --wait 10")
        self.assertTrue(wait_until(lambda: "keldrin-helper" in self.p.text(hwnd, ID.IDC_OPERATION_CAPTION).lower(), 3))
        time.sleep(3)
        self.assertTrue(self.watching(hwnd), "it counted down while the program ran")
        process.stdin.close()   # the helper ends
        ended = time.monotonic()
        self.assertTrue(wait_until(lambda: not self.watching(hwnd), 8), "no countdown after the program ended")
        self.assertLess(time.monotonic() - ended, 5)
        self.assertEqual([], self.power_calls_so_far(launch), "it fired without the countdown")
        self.p.click(hwnd, IDCANCEL)
        self.assertEqual([], launch.wait(timeout=10).power_calls)

    def test_a_busy_processor_holds_the_quiet_watch_off_until_it_stops(self):
        # Every core busy: at the mark of 99 % whatever else the machine does, and
        # below it once they stop even on a machine busy with other tests.
        spin = "import time\nend = time.monotonic() + 60\nwhile time.monotonic() < end: pass\n"
        # At the lowest priority, so the tests of the other lanes keep their timings.
        busy = [subprocess.Popen(["nice", "-n", "19", "python3", "-c", spin]) for _ in range(os.cpu_count() or 2)]
        for process in busy:
            self.addCleanup(process.kill)
        launch, hwnd = self.open_watch("--monitoroff --quiet-sec 5 --cpu-below 99 --net-below 1000000 --wait 10")
        # A watch that took a busy processor for quiet would count down once its
        # five-second window had filled and 5 s more had passed.
        time.sleep(12)
        self.assertTrue(self.watching(hwnd), "it counted down while the processor was busy")
        for process in busy:
            process.kill()
        self.assertTrue(wait_until(lambda: not self.watching(hwnd), 20), "no countdown once the processor was quiet")
        self.p.click(hwnd, IDCANCEL)
        self.assertEqual([], launch.wait(timeout=10).power_calls)

    def test_a_name_nothing_answers_to_performs_nothing(self):
        launch = self.start("--shutdown --after-exit ffmpgg.exe", timeout=30)
        box = self.p.wait_window(launch.pid, timeout=15)
        self.assertIsNotNone(box, "no message")
        texts = {child.id: child.text for child in self.p.children(box)}
        self.assertEqual(self.module_text(ID.IDS_WATCH_NOT_RUNNING) % "ffmpgg.exe", texts.get(MESSAGE_TEXT))
        self.p.click(box, IDOK)
        result = launch.wait(timeout=10)
        self.assertEqual(0, result.exit_code)
        self.assertEqual([], result.power_calls)


if __name__ == "__main__":
    unittest.main()
