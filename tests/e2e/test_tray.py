"""The countdown's icon in the notification area and its Later button, as the
user meets them: the icon Wine's explorer shows while a countdown runs, a
click on it and its right-click menu, and the postpones under Later.
"""

import time
import unittest

from keldrin_e2e import ID, IDCANCEL, KeldrinTestCase, wait_until

WM_LBUTTONUP = 0x0202
WM_RBUTTONUP = 0x0205
SW_MINIMIZE = 6
MENU_CLASS = "#32768"
ICON_CENTRE = 8 | (8 << 16)     # a click's point inside the icon's window


class TrayTestCase(KeldrinTestCase):

    def setUp(self):
        super().setUp()
        self.p = self.probe()

    def open_countdown(self, tail="--monitoroff --wait 120"):
        """The countdown's window and the icon it added."""
        before = set(self.p.tray_icons())
        launch = self.start(tail, timeout=60)
        hwnd = self.p.wait_window(launch.pid, timeout=15)
        self.assertIsNotNone(hwnd, "no countdown opened")
        self.assertTrue(wait_until(lambda: set(self.p.tray_icons()) - before, 5), "no icon in the notification area")
        icon, = set(self.p.tray_icons()) - before
        return launch, hwnd, icon

    def choose_in_menu(self, launch, hwnd, *keys):
        self.assertTrue(wait_until(lambda: self.menu(launch), 3), "no menu opened")
        time.sleep(0.3)
        for key in keys:
            self.p.key(hwnd, key)
        self.assertTrue(wait_until(lambda: not self.menu(launch), 3), "the menu stayed open")

    def menu(self, launch):
        return [w for w in self.p.windows(launch.pid) if w.cls == MENU_CLASS and w.visible]

    def cancel(self, launch, hwnd, icon):
        self.p.click(hwnd, IDCANCEL)
        self.assertEqual([], launch.wait(timeout=10).power_calls)
        self.assertTrue(wait_until(lambda: icon not in self.p.tray_icons(), 5), "the icon outlived the countdown")


class TrayIcon(TrayTestCase):

    def test_the_icon_comes_with_the_countdown_brings_it_back_and_goes_with_it(self):
        launch, hwnd, icon = self.open_countdown()
        self.p.show(hwnd, SW_MINIMIZE)
        self.assertTrue(wait_until(lambda: self.p.iconic(hwnd), 5), "the countdown did not minimise")
        self.p.command("post", "%x" % icon, 0, WM_LBUTTONUP, 0, ICON_CENTRE)
        self.assertTrue(wait_until(lambda: not self.p.iconic(hwnd), 5), "a click on the icon left it minimised")
        self.cancel(launch, hwnd, icon)

    def test_its_menu_postpones(self):
        launch, hwnd, icon = self.open_countdown()
        self.assertTrue(wait_until(lambda: self.p.seconds_left(hwnd) <= 120, 3))
        self.p.command("post", "%x" % icon, 0, WM_RBUTTONUP, 0, ICON_CENTRE)
        # From the bottom: Cancel, Run now, then over the separator an hour more.
        self.choose_in_menu(launch, hwnd, "up", "up", "up", "enter")
        self.assertGreater(self.p.seconds_left(hwnd), 3600, "the icon's menu did not postpone")
        self.cancel(launch, hwnd, icon)


class Later(TrayTestCase):

    def test_later_opens_the_postpones_just_under_it(self):
        launch, hwnd, icon = self.open_countdown()
        self.assertEqual("pending", self.p.click(hwnd, ID.IDC_LATER))
        self.assertTrue(wait_until(lambda: self.menu(launch), 3), "Later opened no menu")
        button_bottom = int(self.p.command("rect", "%x" % hwnd, ID.IDC_LATER).split()[4])
        menu_top = int(self.p.command("rect", "%x" % self.menu(launch)[0].hwnd, 0).split()[2])
        self.assertGreaterEqual(menu_top, button_bottom, "the menu covers Later")
        self.choose_in_menu(launch, hwnd, "up", "enter")    # the last: an hour more
        self.assertGreater(self.p.seconds_left(hwnd), 3600, "Later's menu did not postpone")
        self.cancel(launch, hwnd, icon)


if __name__ == "__main__":
    unittest.main()
