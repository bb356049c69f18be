"""Other computers through the shipped Keldrin.exe, judged by the relay trace,
the answers on its output and the exit code. Under Wine InitiateShutdownW
answers 120 (ERROR_CALL_NOT_IMPLEMENTED) and AbortSystemShutdownW succeeds;
nothing reaches another machine."""

import re
import unittest

from keldrin_e2e import ID, IDOK, MESSAGE_TEXT, KeldrinTestCase, Probe, relay_text

REMOTE_CALLS = ("advapi32.InitiateShutdownW", "advapi32.InitiateSystemShutdownExW", "advapi32.AbortSystemShutdownW")


class OtherComputers(KeldrinTestCase):

    def run_remote(self, tail):
        result = self.run_keldrin(tail, timeout=30)
        self.assertEqual([], result.power_calls + [call for call in result.calls if call.name == "user32.SetTimer"])
        return result, [call for call in result.calls if call.name in REMOTE_CALLS]

    def test_two_computers_get_one_request_each_and_two_error_lines(self):
        result, calls = self.run_remote("--shutdown --computer \\\\pc-one --computer 10.0.0.7 --wait 45")
        self.assertEqual({"\\\\pc-one", "\\\\10.0.0.7"}, {relay_text(call.args[0]) for call in calls})
        with Probe() as probe:
            notice = probe.module_string(self.folder.windows_path + "\\Keldrin.Jpn.dll",
                                         ID.IDS_REMOTE_MESSAGE_SHUTDOWN).split("%ls")[1]
        for call in calls:
            self.assertEqual("advapi32.InitiateShutdownW", call.name)
            self.assertIn(notice, relay_text(call.args[1]), "the notice on the target")
            # 45 s of grace; SHUTDOWN_POWEROFF, no force; "Other (Planned)".
            self.assertEqual(["0000002d", "00000008", "80000000"], call.args[2:5])
        lines = result.stdout.replace("\r\n", "\n").strip("\n").split("\n")
        self.assertEqual((2, 2), (len(calls), len(lines)), result.stdout)
        for name in ("pc-one", "10.0.0.7"):
            self.assertEqual(1, sum(1 for line in lines if re.fullmatch(re.escape(name) + r"\S+ 120\S+\S.*", line)),
                             "no error line for %s in %r" % (name, result.stdout))
        self.assertEqual(2, result.exit_code, "the number of computers whose request failed")

    def test_cancel_with_a_computer_aborts_its_shutdown(self):
        result, calls = self.run_remote("--cancel --computer pc-one")
        # Wine's relay prints AbortSystemShutdownW's name as a bare pointer; the answer names it.
        self.assertEqual(["advapi32.AbortSystemShutdownW"], [call.name for call in calls])
        self.assertTrue(result.stdout.startswith("pc-one") and result.stdout.endswith("\r\n"), result.stdout)
        self.assertEqual(0, result.exit_code)

    def test_standby_with_a_computer_is_refused(self):
        launch = self.start("--standby --computer pc-one", timeout=20)
        with Probe() as probe:
            box = probe.wait_window(launch.pid, timeout=10)
            self.assertIsNotNone(box, "nothing shown")
            expected = probe.module_string(self.folder.windows_path + "\\Keldrin.Jpn.dll", ID.IDS_REMOTE_OPERATION)
            self.assertEqual(expected % "--standby", probe.text(box, MESSAGE_TEXT))
            probe.click(box, IDOK)
        result = launch.wait()
        self.assertEqual([], [call for call in result.calls if call.name in REMOTE_CALLS] + result.power_calls)
        self.assertEqual(1, result.exit_code, "the computer named was left unasked")


if __name__ == "__main__":
    unittest.main()
