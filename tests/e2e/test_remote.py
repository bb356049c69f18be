"""Other computers through the shipped Keldrin.exe: one request each, seen in
the relay trace with its arguments, each computer's answer on the output the
program was given, and the exit code. Under Wine InitiateShutdownW is a stub
that answers 120 (ERROR_CALL_NOT_IMPLEMENTED) and AbortSystemShutdownW
succeeds, so the error path is the real one; nothing reaches another machine."""

import re
import unittest

from keldrin_e2e import ID, IDOK, MESSAGE_TEXT, KeldrinTestCase, Probe, relay_text

REMOTE_CALLS = ("advapi32.InitiateShutdownW", "advapi32.InitiateSystemShutdownExW", "advapi32.AbortSystemShutdownW")
LOCAL_CALLS = ("user32.ExitWindowsEx", "advapi32.AdjustTokenPrivileges", "user32.SetTimer")


class OtherComputers(KeldrinTestCase):

    def remote_calls(self, result):
        return [call for call in result.calls if call.name in REMOTE_CALLS]

    def assertNothingLocal(self, result, tail):
        local = [call.name for call in result.calls if call.name in LOCAL_CALLS]
        self.assertEqual([], local, "Keldrin.exe %s did something on this computer" % tail)

    def module_text(self, string_id):
        with Probe() as probe:
            return probe.module_string(self.folder.windows_path + "\\Keldrin.Jpn.dll", string_id)

    def test_two_computers_get_one_request_each_and_two_error_lines(self):
        tail = "--shutdown --computer \\\\pc-one --computer 10.0.0.7 --wait 45"
        result = self.run_keldrin(tail, timeout=30)
        calls = self.remote_calls(result)
        self.assertEqual(["advapi32.InitiateShutdownW"] * 2, [call.name for call in calls])
        self.assertEqual({"\\\\pc-one", "\\\\10.0.0.7"}, {relay_text(call.args[0]) for call in calls})
        notice = self.module_text(ID.IDS_REMOTE_MESSAGE_SHUTDOWN).split("%ls")[1]
        for call in calls:
            self.assertIn(notice, relay_text(call.args[1]), "the notice on the target")
            # 45 s of grace; SHUTDOWN_POWEROFF, no force; "Other (Planned)".
            self.assertEqual(["0000002d", "00000008", "80000000"], call.args[2:5])
        lines = result.stdout.replace("\r\n", "\n").strip("\n").split("\n")
        self.assertEqual(2, len(lines), result.stdout)
        for name in ("pc-one", "10.0.0.7"):
            self.assertEqual(1, sum(1 for line in lines if re.fullmatch(re.escape(name) + r"\S+ 120\S+\S.*", line)),
                             "no error line for %s in %r" % (name, result.stdout))
        self.assertEqual(2, result.exit_code, "the number of computers whose request failed")
        self.assertNothingLocal(result, tail)

    def test_cancel_with_a_computer_aborts_its_shutdown(self):
        tail = "--cancel --computer pc-one"
        result = self.run_keldrin(tail, timeout=30)
        # Wine's relay prints AbortSystemShutdownW's name as a bare pointer; the answer names it.
        self.assertEqual(["advapi32.AbortSystemShutdownW"], [call.name for call in self.remote_calls(result)])
        answer = self.module_text(ID.IDS_REMOTE_ASKED).replace("%ls", "pc-one")
        self.assertEqual(len(answer), len(result.stdout.strip("\r\n")), result.stdout)
        self.assertTrue(result.stdout.startswith("pc-one"), result.stdout)
        self.assertEqual(0, result.exit_code)
        self.assertNothingLocal(result, tail)

    def test_standby_with_a_computer_is_refused(self):
        tail = "--standby --computer pc-one"
        launch = self.start(tail, timeout=20)
        with Probe() as probe:
            box = probe.wait_window(launch.pid, timeout=10)
            self.assertIsNotNone(box, "Keldrin.exe %s showed nothing" % tail)
            texts = {child.id: child.text for child in probe.children(box)}
            expected = probe.module_string(self.folder.windows_path + "\\Keldrin.Jpn.dll", ID.IDS_REMOTE_OPERATION)
            self.assertEqual(expected % "--standby", texts.get(MESSAGE_TEXT))
            probe.click(box, IDOK)
        result = launch.wait()
        self.assertEqual([], self.remote_calls(result))
        self.assertNothingLocal(result, tail)
        self.assertEqual([], [call for call in result.calls if call.name == "kernel32.SetSystemPowerState"])
        self.assertEqual(1, result.exit_code, "the computer named was left unasked")


if __name__ == "__main__":
    unittest.main()
