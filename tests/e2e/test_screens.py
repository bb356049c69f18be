"""The program on screens of every common DPI, and to a screen reader.

At 96, 120, 144 and 192 DPI (Wine's HKCU\\Control Panel\\Desktop LogPixels,
which it lays every dialog out at) the in-process text-fit checks run against
the shipped modules, and the real program loads its window icons at the sizes
the system asks for there. A countdown tells screen readers the time left at
its moments only (NotifyWinEvent in the relay trace).
"""

import os
import subprocess
import unittest

from keldrin_e2e import (CONFIG, DESKTOP, ID, IDCANCEL, KeldrinTestCase, countdown_timers, wait_until, wine, wine_env)
from screen_look import set_windows_version

DPIS = (96, 120, 144, 192)
LOG_PIXELS = "LogPixels"
TEXT_FIT_CHECKS = "EveryModule/ModuleContents.TextsFitTheirControls/*:EveryModule/ModuleContents.MainDialogHoldsItsControls/*"
LIVE_REGION_CHANGED = 0x8019


class ScreenTestCase(KeldrinTestCase):

    def setUp(self):
        super().setUp()
        self.p = self.probe()

    def open_countdown(self, tail, timeout=90):
        launch = self.start(tail, timeout=timeout)
        hwnd = self.p.wait_window(launch.pid, timeout=15)
        self.assertIsNotNone(hwnd, "Keldrin.exe %s opened no window" % tail)
        return launch, hwnd


class AtEveryDpi(ScreenTestCase):

    def setUp(self):
        super().setUp()
        before = self.p.reg_get(DESKTOP, LOG_PIXELS)
        self.addCleanup(lambda: self.p.reg_set(DESKTOP, LOG_PIXELS, before) if before is not None
                        else self.p.reg_delete(DESKTOP, LOG_PIXELS))

    def test_every_dialog_fits_its_texts_and_gets_icons_of_the_sizes_asked_for(self):
        program = os.path.join(CONFIG.build, "tests", "resources_tests.exe")
        for dpi in DPIS:
            with self.subTest(dpi=dpi):
                self.p.reg_set(DESKTOP, LOG_PIXELS, dpi)
                checks = subprocess.run(wine(program, "--gtest_filter=" + TEXT_FIT_CHECKS, "--gtest_brief=1"),
                                        env=wine_env(KELDRIN_DIST=CONFIG.dist), cwd=CONFIG.build, timeout=120,
                                        stdout=subprocess.PIPE, stderr=subprocess.STDOUT)
                output = checks.stdout.decode("utf-8", errors="replace")
                self.assertEqual(0, checks.returncode, "the text-fit checks at %d DPI:\n%s" % (dpi, output[-3000:]))
                self.assertIn("PASSED", output)

                launch, hwnd = self.open_countdown("--monitoroff --wait 30")
                self.p.click(hwnd, IDCANCEL)
                result = launch.wait(timeout=15)
                # LoadImageW(module, 0000000a, IMAGE_ICON, cx, cy, flags); Wine loads images of its own by name.
                sizes = {int(call.args[3], 16) for call in result.calls
                         if call.name == "user32.LoadImageW" and call.args[1] == "%08x" % ID.IDI_KELDRIN}
                self.assertEqual({32 * dpi // 96, 16 * dpi // 96}, sizes,
                                 "window icons loaded at %d DPI: %s" % (dpi, sorted(sizes)))


class HeardByAScreenReader(ScreenTestCase):

    def test_the_time_left_is_announced_at_its_moments_only(self):
        # Live regions exist from Windows 8 on; Wine reports Windows 10 to the program.
        set_windows_version(self.p, "win10")
        self.addCleanup(set_windows_version, self.p, None)
        launch, hwnd = self.open_countdown("--monitoroff --wait 65")
        remaining = self.p.item(hwnd, ID.IDC_REMAINING)
        wait_until(lambda: self.p.seconds_left(hwnd) <= 9, 70)
        self.p.click(hwnd, IDCANCEL)
        result = launch.wait(timeout=15)
        self.assertEqual([], result.power_calls)
        start = countdown_timers(result.calls)[0].time
        told = [call for call in result.calls
                if call.name == "user32.NotifyWinEvent" and int(call.args[0], 16) == LIVE_REGION_CHANGED]
        self.assertTrue(all(int(call.args[1], 16) == remaining for call in told), "told of another control")
        # At 60, 30 and 10 s left: 5, 35 and 55 s after the first tick of 65.
        self.assertEqual(3, len(told), [round(call.time - start, 1) for call in told])
        for call, after in zip(told, (5.1, 35.1, 55.1)):
            self.assertAlmostEqual(after, call.time - start, delta=0.5)


if __name__ == "__main__":
    unittest.main()
