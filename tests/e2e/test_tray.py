"""The countdown's Later button and its icon in the notification area, as the user meets them."""

import time
import unittest

from keldrin_e2e import ID, IDCANCEL, KeldrinTestCase, wait_until

WM_RBUTTONUP = 0x0205


class IconAndLater(KeldrinTestCase):

    def test_later_and_the_icons_menu_postpone_and_the_icon_goes_with_the_countdown(self):
        p = self.probe()
        before = set(p.tray_icons())
        launch = self.start("--monitoroff --wait 120", timeout=60)
        hwnd = p.wait_window(launch.pid, timeout=15)
        self.assertTrue(wait_until(lambda: set(p.tray_icons()) - before, 5), "no icon in the notification area")
        icon, = set(p.tray_icons()) - before
        self.assertTrue(wait_until(lambda: p.seconds_left(hwnd) <= 120, 3))
        menus = lambda: [w.hwnd for w in p.windows(launch.pid) if w.cls == "#32768" and w.visible]

        def choose(keys, more_than):
            self.assertTrue(wait_until(menus, 3), "no menu opened")
            time.sleep(0.3)
            for key in keys:
                p.key(hwnd, key)
            self.assertTrue(wait_until(lambda: p.seconds_left(hwnd) > more_than, 3), "not postponed")

        self.assertEqual("pending", p.click(hwnd, ID.IDC_LATER))
        self.assertTrue(wait_until(menus, 3), "Later opened no menu")
        button_bottom = int(p.command("rect", "%x" % hwnd, ID.IDC_LATER).split()[4])
        self.assertGreaterEqual(int(p.command("rect", "%x" % menus()[0], 0).split()[2]), button_bottom, "covers Later")
        choose(["up", "enter"], 3600)                               # its last: an hour more
        p.command("post", "%x" % icon, 0, WM_RBUTTONUP, 0, 8 | (8 << 16))   # a right click inside it
        choose(["up", "up", "up", "enter"], 7200)                   # from the bottom: Cancel, Run now, an hour
        p.click(hwnd, IDCANCEL)
        self.assertEqual([], launch.wait(timeout=10).power_calls)
        self.assertTrue(wait_until(lambda: icon not in p.tray_icons(), 5), "the icon outlived the countdown")


if __name__ == "__main__":
    unittest.main()
