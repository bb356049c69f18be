"""The command line of the shipped Keldrin.exe, judged by the power calls it makes.

Every run goes through Wine's relay trace: ExitWindowsEx, SetSystemPowerState,
LockWorkStation, the monitor-off broadcast and AdjustTokenPrivileges are logged
with their arguments, and under Wine none of them touches the host.
"""

import re
import unittest

from keldrin_e2e import ID, IDOK, MESSAGE_TEXT, MONITOR_OFF, KeldrinTestCase, ProgramFolder, Probe, run

ANY = None

# advapi32.AdjustTokenPrivileges(token, DisableAllPrivileges, NewState,
# BufferLength, PreviousState, ReturnLength): enable, not disable-all, and
# no previous state asked for. The token handle and the pointer vary per run.
PRIVILEGE = ("advapi32.AdjustTokenPrivileges", [ANY, "00000000", ANY, ANY, "00000000", "00000000"])
# Flags without force; the reason recorded is "Other (Planned)": SHTDN_REASON_FLAG_PLANNED
# with major and minor reason "other" (both 0).
SHUTDOWN = ("user32.ExitWindowsEx", ["00000009", "80000000"])    # EWX_SHUTDOWN | EWX_POWEROFF
REBOOT = ("user32.ExitWindowsEx", ["00000002", "80000000"])      # EWX_REBOOT
LOGOFF = ("user32.ExitWindowsEx", ["00000000", "80000000"])      # EWX_LOGOFF
STANDBY = ("kernel32.SetSystemPowerState", ["00000001", "00000001"])   # suspend, forced
HIBERNATE = ("kernel32.SetSystemPowerState", ["00000000", "00000001"])  # hibernate, forced
LOCK = ("user32.LockWorkStation", [])

OPERATIONS = {
    "--shutdown": [PRIVILEGE, SHUTDOWN],
    "--reboot": [PRIVILEGE, REBOOT],
    "--standby": [PRIVILEGE, STANDBY],
    "--sleep": [PRIVILEGE, HIBERNATE],
    "--logoff": [PRIVILEGE, LOGOFF],
    "--monitoroff": [MONITOR_OFF],
    "--monitorlock": [LOCK],
    "--monitorofflock": [LOCK, MONITOR_OFF],
}


def describe(calls):
    return "\n".join("  %s(%s)" % (call.name, ",".join(call.args)) for call in calls) or "  (none)"


class CommandLineTestCase(KeldrinTestCase):

    def assertPowerCalls(self, expected, result, command):
        """The program's power calls are exactly `expected`, in order; ANY matches any argument."""
        actual = result.power_calls
        message = "Keldrin.exe %s made these power calls:\n%s" % (command, describe(actual))
        self.assertEqual(len(expected), len(actual), message)
        for (name, args), call in zip(expected, actual):
            self.assertEqual(name, call.name, message)
            self.assertEqual(len(args), len(call.args), message)
            for want, got in zip(args, call.args):
                if want is not ANY:
                    self.assertEqual(want, got, message)
        # The token handle and new-state pointer are real ones, not null.
        for call in actual:
            if call.name == PRIVILEGE[0]:
                self.assertNotEqual(0, int(call.args[0], 16), message)
                self.assertNotEqual(0, int(call.args[2], 16), message)

    def assertNoCountdown(self, result, command):
        # The countdown is the program's only timer; an operation run at once never arms it.
        timers = [call for call in result.calls if call.name == "user32.SetTimer"]
        self.assertEqual([], timers, "Keldrin.exe %s armed a timer: a countdown ran" % command)

    def run_fresh(self, tail):
        """Runs the program from a folder of its own, so no run sees another's settings file."""
        folder = ProgramFolder("%s-%d" % (self.id(), self._fresh), self.modules)
        self._fresh += 1
        return run(folder, tail, timeout=20)

    def setUp(self):
        super().setUp()
        self._fresh = 0


class OperationsRunAtOnce(CommandLineTestCase):
    """An operation option without a wait runs that operation at once, with no dialog."""

    def test_each_operation_option_makes_exactly_its_calls(self):
        for option, expected in OPERATIONS.items():
            with self.subTest(option=option):
                result = self.run_fresh(option)
                self.assertFalse(result.timed_out, "%s did not end by itself (a dialog?)" % option)
                self.assertEqual(0, result.exit_code)
                self.assertPowerCalls(expected, result, option)
                self.assertNoCountdown(result, option)

    def test_monitors_go_off_within_5_s_while_another_program_hangs(self):
        # A broadcast that waited for the hung window would still be waiting
        # when the launcher gives up after 20 s.
        with Probe() as probe:
            probe.own_window("Keldrin e2e: a program that stopped answering", hung=True)
            for option in ("--monitoroff", "--monitorofflock"):
                with self.subTest(option=option):
                    result = self.run_fresh(option)
                    self.assertFalse(result.timed_out, "%s waited for the hung window" % option)
                    self.assertLess(result.seconds, 5.0, "%s took %.1f s" % (option, result.seconds))
                    self.assertPowerCalls(OPERATIONS[option], result, option)

    def test_monitors_go_off_once_the_mouse_has_rested_half_a_second(self):
        with Probe() as probe:  # alive to the end: Wine forgets the input of a process that has ended
            launch = self.start("--monitoroff", timeout=20)
            last_move = int(probe.command("move", 1000)) / 1000
            result = launch.wait()
        self.assertPowerCalls([MONITOR_OFF], result, "--monitoroff")
        started = float(re.search(r"^(\d+\.\d+):%04x:" % result.pid, result.trace, re.M)[1])
        broadcast = result.power_calls[0].time
        self.assertLess(started, last_move, "the program started after the mouse had stopped")
        self.assertGreaterEqual(broadcast - last_move, 0.45, "the broadcast came before the mouse had rested")
        self.assertLess(broadcast - started, 2.2)

    def test_a_negative_wait_runs_the_operation_at_once(self):
        result = self.run_fresh("--logoff --wait -5")
        self.assertEqual(0, result.exit_code)
        self.assertPowerCalls([PRIVILEGE, LOGOFF], result, "--logoff --wait -5")
        self.assertNoCountdown(result, "--logoff --wait -5")


class ArgumentsAreReadAsWritten(CommandLineTestCase):
    """Quotes around an option are removed; the last operation option wins."""

    def test_quoted_and_repeated_options(self):
        cases = [
            ('"--reboot"', [PRIVILEGE, REBOOT]),
            ("'--reboot'", [PRIVILEGE, REBOOT]),
            ("--shutdown --reboot", [PRIVILEGE, REBOOT]),
            ("--reboot --monitorlock", [LOCK]),
            # A program that stopped answering cannot hold these up: EWX_FORCEIFHUNG (0x10).
            ("--shutdown --force", [PRIVILEGE, ("user32.ExitWindowsEx", ["00000019", ANY])]),
            ("--force --reboot", [PRIVILEGE, ("user32.ExitWindowsEx", ["00000012", ANY])]),
            ("--logoff --force", [PRIVILEGE, ("user32.ExitWindowsEx", ["00000010", ANY])]),
            ("--monitorlock --force", [LOCK]),
        ]
        for tail, expected in cases:
            with self.subTest(command_line=tail):
                result = self.run_fresh(tail)
                self.assertFalse(result.timed_out, "%s did not end by itself (a dialog?)" % tail)
                self.assertEqual(0, result.exit_code)
                self.assertPowerCalls(expected, result, tail)


class NothingToDo(CommandLineTestCase):
    """Command lines that name no operation and no wait: nothing runs, no window opens."""

    def assertQuietRun(self, tail):
        launch = self.start(tail, timeout=20)
        with Probe() as probe:
            # Answers as soon as the process has ended, so a passing run costs no waiting.
            window = probe.wait_window(launch.pid, timeout=10)
            title = None
            if window is not None:
                title = probe.text(window)
                probe.close(window)
        result = launch.wait()
        if window is not None:
            self.fail("Keldrin.exe %r opened a window titled %r" % (tail, title))
        self.assertEqual(0, result.exit_code)
        self.assertPowerCalls([], result, repr(tail))

    def test_blanks_only(self):
        self.assertQuietRun("   ")

    def test_wait_takes_the_next_argument_as_its_value(self):
        # "--shutdown" is the wait's value (0 seconds), not an operation.
        self.assertQuietRun("--wait --shutdown")

    def test_lone_quotes_and_quoted_blanks_name_nothing(self):
        # A quoted blank survives as an argument " ", which names no option.
        for tail in ['"', '""', "'", '" "', "' '"]:
            with self.subTest(command_line=tail):
                self.assertQuietRun(tail)


class RefusedLines(CommandLineTestCase):
    """A line Keldrin cannot read whole (an "--at" without a time of day, an
    argument that is no option) is never read as "at once": the user is told
    what was given, in the module's language, and nothing runs."""

    def test_each_is_named_and_nothing_runs(self):
        for tail, string_id, named, exit_code in (
                ("--shutdown --at 25:00", ID.IDS_AT_MALFORMED, "25:00", 0),
                ("--shutdown --at 7:5x", ID.IDS_AT_MALFORMED, "7:5x", 0),
                ("--reboot --wait 10 --at", ID.IDS_AT_MISSING, None, 0),
                ("--shutdown --wiat 600", ID.IDS_UNKNOWN_ARGUMENTS, "--wiat\n600", 0),
                ("--wait=10 --Shutdown", ID.IDS_UNKNOWN_ARGUMENTS, "--wait=10\n--Shutdown", 0),
                # A script learns that a countdown may still run.
                ("--cancel --wiat", ID.IDS_UNKNOWN_ARGUMENTS, "--wiat", 1)):
            with self.subTest(command_line=tail):
                launch = self.start(tail, timeout=20)
                with Probe() as probe:
                    box = probe.wait_window(launch.pid, timeout=10)
                    self.assertIsNotNone(box, "Keldrin.exe %s showed nothing" % tail)
                    texts = {child.id: child.text for child in probe.children(box)}
                    expected = probe.module_string(self.folder.windows_path + "\\Keldrin.Jpn.dll", string_id)
                    self.assertEqual(expected % named if named else expected, texts.get(MESSAGE_TEXT))
                    probe.click(box, IDOK)
                result = launch.wait()
                self.assertEqual(exit_code, result.exit_code)
                self.assertPowerCalls([], result, tail)
                self.assertNoCountdown(result, tail)


if __name__ == "__main__":
    unittest.main()
