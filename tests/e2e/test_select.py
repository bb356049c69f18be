"""The select dialog of the shipped Keldrin.exe (--select): the list opens on
the saved choice, OK performs the entry chosen at once and saves it, Cancel
does and saves nothing of it, a wait never brings a countdown in, and the
Windows 8 family gets the coloured template.
"""

import unittest

from keldrin_e2e import ID, IDCANCEL, IDOK, MONITOR_OFF, WM_COMMAND, KeldrinTestCase, countdown_timers
from screen_look import ColouredLookChecks

CB_SETCURSEL, CB_GETCURSEL = 0x014E, 0x0147
CBN_SELCHANGE = 1


class SelectTestCase(KeldrinTestCase):

    def setUp(self):
        super().setUp()
        self.p = self.probe()

    def open_select(self, tail="--select"):
        launch = self.start(tail, timeout=60)
        hwnd = self.p.wait_window(launch.pid, timeout=15)
        self.assertIsNotNone(hwnd, "Keldrin.exe %s opened no window" % tail)
        self.children = {child.id: child for child in self.p.children(hwnd)}
        self.assertIn(ID.IDC_SELECT_LIST, self.children,
                      "Keldrin.exe %s opened a window that is no select dialog" % tail)
        return launch, hwnd

    def choose(self, hwnd, entry):
        """Picks an entry as a mouse choice does: the list changes and tells the dialog."""
        self.p.send(hwnd, ID.IDC_SELECT_LIST, CB_SETCURSEL, entry)
        self.p.send(hwnd, 0, WM_COMMAND, (CBN_SELCHANGE << 16) | ID.IDC_SELECT_LIST,
                    self.children[ID.IDC_SELECT_LIST].hwnd)

    def operation_name(self, code):
        return self.p.module_string(self.folder.windows_path + "\\Keldrin.Jpn.dll", ID.IDS_OPERATION_NAME_FIRST + code)


class ChoosingAndRunning(SelectTestCase):

    def test_opens_on_the_saved_choice_and_ok_performs_the_entry_chosen(self):
        self.folder.write_settings(Selection=4, Operation=1)
        launch, hwnd = self.open_select()
        self.assertEqual(4, self.p.send(hwnd, ID.IDC_SELECT_LIST, CB_GETCURSEL))
        self.assertEqual(self.operation_name(4), self.p.text(hwnd, ID.IDC_SELECT_LIST))
        self.assertEqual("Keldrin Version 1.04.01", self.p.text(hwnd, ID.IDC_VERSION_TEXT))

        self.choose(hwnd, 6)
        self.p.click(hwnd, IDOK)
        result = launch.wait(timeout=15)
        self.assertEqual(0, result.exit_code)
        self.assertEqual([MONITOR_OFF], [call.pair for call in result.power_calls])
        settings = self.folder.read_settings()
        self.assertEqual(6, settings.get("PowerSelection"), settings)
        self.assertEqual(6, settings.get("PowerOperation"), settings)

    def test_the_keyboard_chooses_and_enter_runs(self):
        self.folder.write_settings(Selection=7)
        launch, hwnd = self.open_select()
        self.p.key(hwnd, "up")       # the list has the focus: 7 -> 6
        self.p.key(hwnd, "enter")    # OK is the default button
        result = launch.wait(timeout=15)
        self.assertEqual([MONITOR_OFF], [call.pair for call in result.power_calls])
        settings = self.folder.read_settings()
        self.assertEqual((6, 6), (settings.get("PowerSelection"), settings.get("PowerOperation")), settings)

    def test_cancel_performs_and_keeps_nothing_of_the_choice(self):
        self.folder.write_settings(Selection=3, Operation=2)
        launch, hwnd = self.open_select()
        self.choose(hwnd, 6)
        self.p.click(hwnd, IDCANCEL)
        result = launch.wait(timeout=15)
        self.assertEqual(0, result.exit_code)
        self.assertEqual([], result.power_calls)
        settings = self.folder.read_settings()
        self.assertEqual(3, settings.get("PowerSelection"), settings)
        self.assertNotEqual(6, settings.get("PowerOperation"), settings)

    def test_a_wait_never_brings_the_countdown_in(self):
        self.folder.write_settings(Selection=6)
        launch, hwnd = self.open_select("--select --wait 60")
        self.assertNotIn(ID.IDC_REMAINING, self.children)
        self.p.click(hwnd, IDOK)
        result = launch.wait(timeout=15)
        self.assertEqual([MONITOR_OFF], [call.pair for call in result.power_calls])
        self.assertEqual([], countdown_timers(result.calls), "the countdown's timer was armed")


class Windows8Look(ColouredLookChecks, SelectTestCase):

    shot_name = "select"

    def open_for_look(self):
        return self.open_select()

    def test_windows_8_takes_the_coloured_template_and_paints_it(self):
        self.assertPaintsWindows8Colours()

    def test_windows_7_takes_the_ordinary_template(self):
        self.assertLeavesDrawingToTheSystem()


if __name__ == "__main__":
    unittest.main()
