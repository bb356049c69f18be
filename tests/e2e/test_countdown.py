"""The countdown of the shipped Keldrin.exe, as the user and the system see it.

A wait on the command line opens the countdown: what it shows each second
(read from the window), when the operation fires (Wine's relay trace, with
timestamps), how run-now and cancel end it early, the screen-saver password it
switches off for the wait and back before anything happens, and its Windows 8
colours (a screenshot).
"""

import datetime
import os
import signal
import time
import unittest

from keldrin_e2e import (DESKTOP, ID, IDCANCEL, IDNO, IDOK, IDYES, MESSAGE_TEXT, MONITOR_OFF, SAVER, KeldrinTestCase,
                         ProbeError, is_power_call, start, wait_until,
                         ProgramFolder, countdown_timers, put_saver_value, relay_text, run, saver_writes)
from screen_look import ColouredLookChecks

IDS_CAPTION_MONITOROFF = ID.IDS_CAPTION_NONE + 6    # the caption of operation code 6
WM_SYSCOMMAND = 0x0112
WM_CANCELMODE = 0x001F
SC_KEYMENU = 0xF100          # with lParam ' ': the window menu, as Alt+Space opens it
POSTPONE_5_MIN = 0x0110      # the window menu's first postpone entry
SW_MINIMIZE = 6
MENU_CLASS = "#32768"


class Stopped:
    """The program's process stood still (SIGSTOP), as a machine that slept
    without telling anyone, or a hung program, looks to everyone else."""

    def __init__(self, folder):
        self.pid = folder.unix_pid()

    def __enter__(self):
        os.kill(self.pid, signal.SIGSTOP)
        return self

    def __exit__(self, *exc):
        os.kill(self.pid, signal.SIGCONT)


class CountdownTestCase(KeldrinTestCase):

    def setUp(self):
        super().setUp()
        self.p = self.probe()
        self.keep_saver_value(self.p)

    def module_text(self, string_id):
        return self.p.module_string(self.folder.windows_path + "\\Keldrin.Jpn.dll", string_id)

    def open_countdown(self, tail):
        """Starts the program and waits for its countdown window."""
        launch = self.start(tail, timeout=60)
        hwnd = self.p.wait_window(launch.pid, timeout=15)
        self.assertIsNotNone(hwnd, "Keldrin.exe %s opened no window" % tail)
        ids = [child.id for child in self.p.children(hwnd)]
        self.assertIn(ID.IDC_REMAINING, ids, "Keldrin.exe %s opened a window that is no countdown" % tail)
        return launch, hwnd

    def watch_texts(self, hwnd, control_ids, timeout):
        """Distinct non-empty texts of each control, polled every ~50 ms until the window goes."""
        seen = {control_id: [] for control_id in control_ids}
        deadline = time.monotonic() + timeout
        while time.monotonic() < deadline:
            try:
                for control_id, texts in seen.items():
                    text = self.p.text(hwnd, control_id)
                    if text and (not texts or texts[-1] != text):
                        texts.append(text)
            except ProbeError:
                break  # the window is gone
            time.sleep(0.05)
        return seen

    def remaining(self, seconds: int) -> str:
        if seconds > 60:
            return self.module_text(ID.IDS_REMAINING_MIN_SEC) % (seconds // 60, seconds % 60)
        return self.module_text(ID.IDS_REMAINING_SEC) % seconds

    def title(self, seconds: int) -> str:
        return self.module_text(ID.IDS_COUNTDOWN_TITLE) % (self.remaining(seconds), self.module_text(ID.IDS_PRODUCT_NAME))

    def power_calls_so_far(self, launch):
        return [call.pair for call in launch.trace() if is_power_call(call)]

    def titles(self, hwnd: int, count: int, timeout: float = 5.0):
        """The first `count` titles the countdown shows after its template's own."""
        template, seen = self.p.text(hwnd), []
        deadline = time.monotonic() + timeout
        while len(seen) < count and time.monotonic() < deadline:
            title = self.p.text(hwnd)
            if title != template and (not seen or seen[-1] != title):
                seen.append(title)
            time.sleep(0.05)
        return seen

    def first_countdown_timer(self, result):
        timers = countdown_timers(result.calls)
        self.assertTrue(timers, "no SetTimer of timer 5001 in the trace")
        return timers[0]


class CountsDownAndFires(CountdownTestCase):

    def test_three_seconds_show_three_two_one_zero_then_the_monitors_go_off(self):
        launch, hwnd = self.open_countdown("--monitoroff --wait 3")
        seen = self.watch_texts(hwnd, (ID.IDC_REMAINING, ID.IDC_OPERATION_CAPTION), timeout=10)
        polled = seen[ID.IDC_REMAINING]
        result = launch.wait()
        self.assertEqual(0, result.exit_code)

        seconds_format = self.module_text(ID.IDS_REMAINING_SEC)
        expected = [seconds_format % n for n in (3, 2, 1, 0)]
        # The user sees each second; 0 stands only for the moment before the operation.
        self.assertEqual(expected[:3], [text for text in polled if text != expected[3]], polled)
        self.assertEqual([self.module_text(IDS_CAPTION_MONITOROFF)], seen[ID.IDC_OPERATION_CAPTION])

        # The trace holds every text set, with its time.
        shown = [call for call in result.calls
                 if call.name == "user32.SetDlgItemTextW" and int(call.args[1], 16) == ID.IDC_REMAINING]
        self.assertEqual(expected, [relay_text(call.args[2]) for call in shown])
        start = self.first_countdown_timer(result).time
        for n, call in enumerate(shown):
            self.assertAlmostEqual(0.1 + n, call.time - start, delta=0.1,
                                   msg="%r shown %.3f s after the countdown began" % (expected[n], call.time - start))

        self.assertEqual([MONITOR_OFF], [call.pair for call in result.power_calls])
        fired = result.power_calls[0].time - start
        self.assertGreaterEqual(fired, 3.095)
        self.assertLessEqual(fired, 3.4, "the monitors went off %.3f s after the countdown began" % fired)
        self.assertGreaterEqual(result.power_calls[0].time, shown[-1].time)


class EndsEarly(CountdownTestCase):

    def test_cancel_button_esc_and_stray_enter_or_space_perform_nothing(self):
        # Cancel is the default button and has the focus: a key pressed by
        # mistake cancels the countdown instead of shutting down.
        for tail, action in (("--reboot --wait 30", "button"), ("--shutdown --wait 30", "esc"),
                             ("--shutdown --wait 30", "enter"), ("--shutdown --wait 30", "space")):
            with self.subTest(action=action):
                launch, hwnd = self.open_countdown(tail)
                if action == "button":
                    self.p.click(hwnd, IDCANCEL)
                else:
                    # Asked first: the key may end the dialog before a later question.
                    cancel = self.p.item(hwnd, IDCANCEL)
                    self.assertEqual(cancel, self.p.key(hwnd, action), "the focus is not on Cancel")
                result = launch.wait(timeout=10)
                self.assertFalse(result.timed_out, "the countdown did not close on %s" % action)
                self.assertEqual(0, result.exit_code)
                self.assertEqual([], result.power_calls)

    def test_run_now_button_and_its_mnemonic_perform_at_once(self):
        for action in ("button", "mnemonic"):
            with self.subTest(action=action):
                launch, hwnd = self.open_countdown("--monitoroff --wait 30")
                if action == "button":
                    self.p.click(hwnd, IDOK)
                else:
                    self.p.key(hwnd, "0x4E")   # N: "Run &now", "今すぐ実行(&N)"
                result = launch.wait(timeout=10)
                self.assertEqual(0, result.exit_code)
                self.assertEqual([MONITOR_OFF], [call.pair for call in result.power_calls])
                after = result.power_calls[0].time - self.first_countdown_timer(result).time
                self.assertLess(after, 5, "run now took %.1f s of a 30 s wait" % after)


class ScreenSaverPassword(CountdownTestCase):
    """With PowerSaverLockOff=1, a "1" is switched to "0" for the wait and back
    to "1" before the dialog ends, and so before any operation."""

    def test_switched_off_while_counting_and_back_on_every_ending(self):
        for ending in ("run now", "cancel", "time up"):
            with self.subTest(ending=ending):
                self.p.reg_set(DESKTOP, SAVER, "1")
                self.folder.write_settings(SaverLockOff=1)
                wait = 2 if ending == "time up" else 30
                launch, hwnd = self.open_countdown("--monitoroff --wait %d" % wait)
                during = self.p.reg_get(DESKTOP, SAVER)
                if ending == "run now":
                    self.p.click(hwnd, IDOK)
                elif ending == "cancel":
                    self.p.click(hwnd, IDCANCEL)
                result = launch.wait(timeout=15)
                self.assertEqual("0", during)
                self.assertEqual("1", self.p.reg_get(DESKTOP, SAVER))

                writes = saver_writes(result.calls)
                self.assertEqual(2, len(writes), "ScreenSaverIsSecure written %d times" % len(writes))
                if ending == "cancel":
                    self.assertEqual([], result.power_calls)
                else:
                    self.assertEqual([MONITOR_OFF], [call.pair for call in result.power_calls])
                    restored, fired = writes[1], result.power_calls[0]
                    self.assertLess(result.calls.index(restored), result.calls.index(fired),
                                    "the password came back after the operation")

    def test_left_alone_unless_it_was_on_and_the_option_is_set(self):
        cases = (("value 0", "0", 1), ("value absent", None, 1), ("option off", "1", 0))
        for what, value, option in cases:
            with self.subTest(case=what):
                put_saver_value(self.p, value)
                self.folder.write_settings(SaverLockOff=option)
                launch, hwnd = self.open_countdown("--monitoroff --wait 30")
                during = self.p.reg_get(DESKTOP, SAVER)
                self.p.click(hwnd, IDCANCEL)
                result = launch.wait(timeout=10)
                self.assertEqual(value, during)
                self.assertEqual(value, self.p.reg_get(DESKTOP, SAVER))
                self.assertEqual([], saver_writes(result.calls))


class NeverCaughtOffGuard(CountdownTestCase):
    """The time left in the title, the last minute in front of everything,
    postponing from the window menu, and --cancel from another process."""

    def test_the_title_tells_the_time_left_at_every_tick(self):
        launch, hwnd = self.open_countdown("--monitoroff --wait 125")
        self.assertEqual([self.title(125), self.title(124)], self.titles(hwnd, 2))
        self.assertTrue(self.title(125).startswith("あと 2 分 5 秒"), self.title(125))
        self.p.click(hwnd, IDCANCEL)
        self.assertEqual([], launch.wait(timeout=10).power_calls)

    def test_only_the_last_minute_stays_in_front(self):
        for wait, front in ((120, False), (61, False), (60, True)):
            with self.subTest(wait=wait):
                launch, hwnd = self.open_countdown("--monitoroff --wait %d" % wait)
                self.assertEqual([self.title(wait)], self.titles(hwnd, 1))
                self.assertEqual(front, self.p.topmost(hwnd))
                self.p.click(hwnd, IDCANCEL)
                self.assertEqual([], launch.wait(timeout=10).power_calls)

    def test_a_postpone_from_the_window_menu_adds_five_minutes_to_the_wait(self):
        # When it then fires is the schedule's arithmetic, proven in-process
        # with the fake clock; here: five minutes more at once, and nothing at
        # the old deadline.
        launch, hwnd = self.open_countdown("--monitoroff --wait 3")
        self.assertEqual([self.title(3)], self.titles(hwnd, 1))
        self.assertTrue(self.p.topmost(hwnd), "3 s left, and not in front")
        self.assertEqual(0, self.p.send(hwnd, 0, WM_SYSCOMMAND, POSTPONE_5_MIN, 0))
        shown = self.p.text(hwnd, ID.IDC_REMAINING)
        self.assertIn(shown, (self.remaining(303), self.remaining(302)), "not five minutes more at once")
        self.assertFalse(self.p.topmost(hwnd), "still in front with five minutes to go")
        time.sleep(4)    # past the old deadline of 3.1 s
        self.assertTrue(self.p.alive(hwnd), "the countdown ended at its old deadline")
        self.assertIn(self.p.text(hwnd, ID.IDC_REMAINING), (self.remaining(299), self.remaining(298)))
        self.p.click(hwnd, IDCANCEL)
        self.assertEqual([], launch.wait(timeout=10).power_calls)

    def test_minimised_it_comes_back_for_the_last_minute_without_taking_the_keyboard(self):
        launch, hwnd = self.open_countdown("--monitoroff --wait 63")
        editor = self.p.own_window("Editor")       # where the user types
        self.p.show(hwnd, SW_MINIMIZE)
        self.assertTrue(wait_until(lambda: self.p.iconic(hwnd), 5), "the countdown did not minimise")
        self.assertGreater(self.p.seconds_left(hwnd), 60)
        self.assertTrue(wait_until(lambda: self.p.seconds_left(hwnd) <= 58, 10))
        self.assertFalse(self.p.iconic(hwnd), "still minimised in the last minute")
        self.assertTrue(self.p.topmost(hwnd), "not in front in the last minute")
        # Wine without a window manager hands the foreground to its own desktop
        # process when a dialog comes back from the taskbar; Windows leaves it
        # where it was. Either way the countdown must not have taken it.
        self.assertNotEqual(hwnd, self.p.foreground(), "the countdown took the keyboard from the user's window")
        # The user clicks the countdown that came back and presses Enter to stop it.
        self.p.activate(hwnd)
        self.assertTrue(wait_until(lambda: self.p.foreground() == hwnd, 5), "the countdown never took the foreground")
        cancel = self.p.children_by_id(hwnd)[IDCANCEL].hwnd
        self.assertEqual(cancel, self.p.key(hwnd, "enter"), "Enter went to another control than Cancel")
        self.assertEqual([], launch.wait(timeout=10).power_calls)

    def test_the_end_waits_for_the_open_window_menu(self):
        for choice in ("close the menu", "postpone in the menu"):
            with self.subTest(choice=choice):
                launch, hwnd = self.open_countdown("--monitoroff --wait 4")
                self.assertTrue(wait_until(lambda: self.p.seconds_left(hwnd) <= 2, 5))   # 2.1 s after the opening
                time.sleep(0.5)                                                      # 1.5 s before the end
                self.p.command("post", "%x" % hwnd, 0, WM_SYSCOMMAND, SC_KEYMENU, ord(" "))
                self.assertTrue(wait_until(lambda: any(w.cls == MENU_CLASS and w.visible
                                                       for w in self.p.windows(launch.pid)), 2), "no menu opened")
                if choice == "postpone in the menu":
                    time.sleep(0.5)
                    self.p.key(hwnd, "up")        # the menu's last entry: an hour more
                    self.p.key(hwnd, "enter")
                    time.sleep(3)                 # well past the old end
                    self.assertEqual([], self.power_calls_so_far(launch))
                    self.assertGreater(self.p.seconds_left(hwnd), 3590, "the postpone chosen in the menu was lost")
                    self.p.click(hwnd, IDCANCEL)
                    self.assertEqual([], launch.wait(timeout=10).power_calls)
                    continue
                time.sleep(3.5)                   # 2 s past the end, the menu still open
                self.assertEqual([], self.power_calls_so_far(launch), "the operation ran under the open menu")
                self.assertTrue(any(w.cls == MENU_CLASS and w.visible for w in self.p.windows(launch.pid)))
                self.p.send(hwnd, 0, WM_CANCELMODE)
                self.assertTrue(wait_until(lambda: self.power_calls_so_far(launch), 2),
                                "nothing ran within 2 s after the menu closed")
                self.assertEqual([MONITOR_OFF], [call.pair for call in launch.wait(timeout=10).power_calls])

    def test_a_sleep_nobody_announced_leaves_a_minute_on_screen(self):
        launch, hwnd = self.open_countdown("--monitoroff --wait 6")
        self.assertEqual([self.title(6)], self.titles(hwnd, 1))
        with Stopped(self.folder):
            time.sleep(34)                        # over the end, and 30 s more
        time.sleep(3)
        self.assertEqual([], self.power_calls_so_far(launch), "the operation ran as the program woke")
        self.assertGreaterEqual(self.p.seconds_left(hwnd), 55)
        self.assertTrue(self.p.topmost(hwnd))
        self.p.click(hwnd, IDCANCEL)
        self.assertEqual([], launch.wait(timeout=10).power_calls)

    def test_a_time_of_day_passed_while_stopped_leaves_a_minute_on_screen(self):
        # The count's clock and the system clock both jump past the end, as
        # after a lid closed and opened with no resume notice first.
        launch, hwnd = self.open_countdown("--monitoroff --at " + clock_time(8))
        with Stopped(self.folder):
            time.sleep(12)
        time.sleep(3)
        self.assertEqual([], self.power_calls_so_far(launch), "the operation ran as the program woke")
        self.assertGreaterEqual(self.p.seconds_left(hwnd), 55)
        self.p.click(hwnd, IDCANCEL)
        self.assertEqual([], launch.wait(timeout=10).power_calls)

    def test_cancel_from_another_process_ends_every_countdown_as_its_cancel_button(self):
        # A second copy with no module beside it: --cancel needs none and opens nothing.
        canceller = ProgramFolder(self.id() + "-cancel", modules=())
        self.assertEqual(0, run(canceller, "--cancel").exit_code, "--cancel with no countdown running")
        self.p.reg_set(DESKTOP, SAVER, "1")
        self.folder.write_settings(SaverLockOff=1)
        countdown, _ = self.open_countdown("--shutdown --wait 60")
        self.assertEqual("0", self.p.reg_get(DESKTOP, SAVER))
        select = self.start("--select")
        chooser = self.p.wait_window(select.pid, timeout=15)
        self.assertIsNotNone(chooser)

        cancel = run(canceller, "--cancel")
        self.assertFalse(cancel.timed_out)
        self.assertEqual(0, cancel.exit_code)
        self.assertEqual(["Keldrin.exe"], canceller.files(), "--cancel wrote something")
        result = countdown.wait(timeout=15)
        self.assertFalse(result.timed_out, "the countdown went on")
        self.assertEqual(0, result.exit_code)
        self.assertEqual([], result.power_calls)
        self.assertEqual("1", self.p.reg_get(DESKTOP, SAVER))
        self.assertEqual(1, self.folder.read_settings()["PowerOperation"], "not saved as on Cancel")

        self.assertTrue(self.p.alive(chooser), "--cancel closed the select dialog")
        self.p.click(chooser, IDCANCEL)
        self.assertEqual([], select.wait(timeout=10).power_calls)

        # Elevated, it takes its cancel, TaskbarCreated and WM_APP + 2 only, never WM_COMMAND ("Run now").
        filtered = [call for call in result.calls if call.name == "user32.ChangeWindowMessageFilterEx"]
        kinds = ["registered" if int(call.args[1], 16) >= 0xC000 else hex(int(call.args[1], 16)) for call in filtered]
        self.assertEqual(["registered", "registered", "0x8002"], kinds, "the countdown did not open its message filter")
        self.assertEqual({1}, {int(call.args[2], 16) for call in filtered}, "not MSGFLT_ALLOW")

    def test_cancel_says_when_a_countdown_could_not_be_ended(self):
        canceller = ProgramFolder(self.id() + "-cancel", modules=())
        countdown, _ = self.open_countdown("--monitoroff --wait 60")
        with Stopped(self.folder):
            started = time.monotonic()
            cancel = run(canceller, "--cancel")
            took = time.monotonic() - started
        self.assertEqual(1, cancel.exit_code, "--cancel reported a countdown that cannot answer as ended")
        self.assertLess(took, 7)
        # Running again, it finds the cancel waiting for it.
        result = countdown.wait(timeout=15)
        self.assertFalse(result.timed_out)
        self.assertEqual([], result.power_calls)


def clock_time(seconds_from_now: float, with_seconds: bool = True) -> str:
    """The local clock's time that far from now, as --at takes it."""
    at = datetime.datetime.now() + datetime.timedelta(seconds=seconds_from_now)
    return at.strftime("%H:%M:%S" if with_seconds else "%H:%M")


class AtATimeOfDay(CountdownTestCase):
    """--at counts to a time of day on the local clock."""

    def test_it_ends_when_the_clock_shows_the_time_and_says_the_time(self):
        started = time.time()
        at = datetime.datetime.fromtimestamp(int(started) + 7)    # 6 to 7 s from now
        launch, hwnd = self.open_countdown("--monitoroff --at " + at.strftime("%H:%M:%S"))
        caption = self.module_text(ID.IDS_CAPTION_AT_NONE + 6) % at.strftime("%H:%M:%S" if at.second else "%H:%M")
        self.assertTrue(wait_until(lambda: self.p.text(hwnd, ID.IDC_OPERATION_CAPTION) == caption, 3),
                        "the caption is %r, not %r" % (self.p.text(hwnd, ID.IDC_OPERATION_CAPTION), caption))
        self.assertTrue(wait_until(lambda: self.power_calls_so_far(launch), 10), "it never ended")
        fired = time.time() - started
        self.assertGreaterEqual(fired, 5.5)
        self.assertLessEqual(fired, 7.5, "it ended %.2f s after a time 6 to 7 s ahead" % fired)
        self.assertEqual([MONITOR_OFF], [call.pair for call in launch.wait(timeout=10).power_calls])

    def test_a_time_that_has_passed_today_is_tomorrow(self):
        launch, hwnd = self.open_countdown("--monitoroff --at " + clock_time(-60, with_seconds=False))
        self.assertTrue(wait_until(lambda: self.p.seconds_left(hwnd) < 24 * 3600, 3))
        self.assertGreater(self.p.seconds_left(hwnd), 23 * 3600)
        self.p.click(hwnd, IDCANCEL)
        self.assertEqual([], launch.wait(timeout=10).power_calls)


class OneCountdownAtATime(CountdownTestCase):
    """A second start while a countdown runs asks first, naming both."""

    def second_start(self, tail, answer):
        """Starts the program again; answers its question; returns (launch, the question)."""
        second = start(self.folder, tail, timeout=60)
        self.addCleanup(second.kill)
        box = self.p.wait_window(second.pid, timeout=15)
        self.assertIsNotNone(box, "the second start asked nothing")
        texts = {child.id: child.text for child in self.p.children(box)}
        self.assertIn(IDYES, texts, "no question with Yes and No")
        self.p.click(box, answer)
        return second, texts.get(MESSAGE_TEXT, "")

    def test_no_keeps_the_first_and_yes_leaves_only_the_second(self):
        first, counting = self.open_countdown("--monitoroff --wait 120")
        self.assertTrue(wait_until(lambda: self.p.text(counting, ID.IDC_REMAINING), 3))

        second, question = self.second_start("--shutdown --wait 30", IDNO)
        self.assertIn(self.module_text(ID.IDS_CAPTION_NONE + 6), question, "the running countdown is not named")
        self.assertIn(self.module_text(ID.IDS_CAPTION_NONE + 1), question, "the new one is not named")
        result = second.wait(timeout=15)
        self.assertEqual(0, result.exit_code)
        self.assertEqual([], countdown_timers(result.calls), "No started a second countdown")
        self.assertTrue(self.p.alive(counting), "No ended the running countdown")
        self.assertEqual(counting, self.p.foreground(), "the running countdown did not come to the front")

        second, _ = self.second_start("--shutdown --wait 30", IDYES)
        self.assertTrue(self.p.wait_gone(counting, timeout=10), "Yes left the first countdown running")
        self.assertEqual([], first.wait(timeout=10).power_calls)
        replacing = self.p.wait_window(second.pid, timeout=15, title="Keldrin")
        self.assertIsNotNone(replacing)
        self.assertIn(ID.IDC_REMAINING, [child.id for child in self.p.children(replacing)])
        self.p.click(replacing, IDCANCEL)
        self.assertEqual([], second.wait(timeout=10).power_calls)


    def test_two_starts_at_once_give_one_countdown_and_one_question(self):
        # As from a double-click: both wait at the check while a third start
        # holds it, so they reach it at the same moment, whatever Wine's start
        # times. The largest wait also shows in the question whole.
        self.p.hold("mutex:Local\\Marlowen.Keldrin.CountdownStart")
        pair = [self.start("--monitoroff --wait 2147483647", timeout=60) for _ in range(2)]
        for launch in pair:
            self.assertIsNone(self.p.wait_window(launch.pid, timeout=2), "a start did not wait at the check")
        self.p.release()
        windows = [self.p.wait_window(launch.pid, timeout=20) for launch in pair]
        self.assertNotIn(None, windows)
        kinds = {}
        for launch, hwnd in zip(pair, windows):
            texts = {child.id: child.text for child in self.p.children(hwnd)}
            kinds["question" if IDYES in texts else "countdown" if ID.IDC_REMAINING in texts else "other"] = (launch, hwnd, texts)
        self.assertEqual(["countdown", "question"], sorted(kinds))
        asker, box, texts = kinds["question"]
        self.assertIn(self.remaining(2147483647)[:6], texts[MESSAGE_TEXT], "the running countdown's time is wrong")
        self.p.click(box, IDNO)
        self.assertEqual([], countdown_timers(asker.wait(timeout=15).calls), "No started a second countdown")
        counting, hwnd, _ = kinds["countdown"]
        self.p.click(hwnd, IDCANCEL)
        self.assertEqual([], counting.wait(timeout=10).power_calls)


class Windows8Look(ColouredLookChecks, CountdownTestCase):
    """On the Windows 8 family the countdown takes template 105 and paints its
    own colours; elsewhere it leaves drawing to the system."""

    shot_name = "countdown"

    def open_for_look(self):
        launch, hwnd = self.open_countdown("--monitoroff --wait 30")
        # The shot shows the texts of the first tick, 100 ms after the opening.
        self.watch_texts(hwnd, (ID.IDC_REMAINING,), timeout=0.3)
        return launch, hwnd

    def test_windows_8_paints_blue_with_dark_blue_and_red_buttons(self):
        self.assertPaintsWindows8Colours()

    def test_windows_7_leaves_the_drawing_to_the_system(self):
        self.assertLeavesDrawingToTheSystem()


if __name__ == "__main__":
    unittest.main()
