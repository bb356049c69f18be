"""Harness for the end-to-end tests: the shipped Keldrin.exe under Wine.

The tests judge the program only by what a user or the system sees: window
and control texts (through winprobe.exe), files in the program folder,
registry values, and the power calls in Wine's relay trace. Nothing here may
ever reach a real machine's power functions, so importing this module on
anything but a Wine set-up inside the build folder stops with an error.

Environment (set by CTest, see CMakeLists.txt beside this file):
  KELDRIN_DIST   folder with Keldrin.exe and the three resource modules
  KELDRIN_PROBE  winprobe.exe
  KELDRIN_BUILD  the build folder; scratch folders and the prefix live here
  KELDRIN_ARCH   the flavour, x86 or x64: which Wine loader runs everything
  KELDRIN_WINE   optional; scripts/keldrin-wine, the one way into Wine
  WINEPREFIX     optional; defaults to $KELDRIN_BUILD/wineprefix
  DISPLAY        optional; a private Xvfb is started when it is unset
  KELDRIN_LANE   "b" or "c" for the second or third lane of tests, whose
                 display is KELDRIN_DISPLAY_B or KELDRIN_DISPLAY_C
                 (scripts/test.sh starts them)
"""

import atexit
import functools
import os
import pwd
import queue
import re
import shutil
import subprocess
import sys
import threading
import time
import types
import unittest
from typing import Dict, List, NamedTuple, Optional, Tuple

MODULE_NAMES = ("Keldrin.Jpn.dll", "Keldrin.Eng.dll", "KeldrinResource.dll")
USER = pwd.getpwuid(os.geteuid()).pw_name    # Wine's GetUserNameW gives the Unix user

RESOURCE_IDS = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "src", "resources",
                            "resource_ids.h")


def _resource_ids(path: str = RESOURCE_IDS) -> types.SimpleNamespace:
    """The ids the program and its modules share, read from their header, so a
    test names a control or string as the code does and follows any renumbering."""
    with open(path, encoding="ascii") as f:
        found = re.findall(r"^#define\s+(\w+)\s+(\d+)\b", f.read(), re.MULTILINE)
    return types.SimpleNamespace(**{name: int(value) for name, value in found})


ID = _resource_ids()

# Windows' own ids and messages, which the header does not hold.
IDOK, IDCANCEL, IDYES, IDNO = 1, 2, 6, 7
MESSAGE_TEXT = 0xFFFF        # the text control of every message box
WM_COMMAND = 0x0111
BS_TYPEMASK, BS_OWNERDRAW = 0x0F, 0x0B

OPERATION_RADIOS = range(ID.IDC_OPERATION_FIRST, ID.IDC_OPERATION_LAST + 1)          # codes 1..9
DESTINATION_RADIOS = range(ID.IDC_DESTINATION_FIRST, ID.IDC_DESTINATION_LAST + 1)    # destinations 0..3

# The power calls a test may watch, plus SetTimer for timing the countdown.
# SendMessageTimeoutW is the monitor-off broadcast. SendMessageW is watched
# too: a broadcast through it would wait for every hung program, and the
# program's other SendMessageW calls are told apart by their arguments.
RELAY_INCLUDE = (
    "user32.ExitWindowsEx",
    "user32.LockWorkStation",
    "kernel32.SetSystemPowerState",
    "user32.SendMessageTimeoutW",
    "user32.SendMessageW",
    "advapi32.AdjustTokenPrivileges",
    "user32.SetTimer",
    # The countdown's texts and the screen-saver value it switches, in order
    # with the power calls.
    "user32.SetDlgItemTextW",
    "advapi32.RegSetValueExW",
    # What the countdown lets through to itself from other processes.
    "user32.ChangeWindowMessageFilterEx",
    # The window icons' sizes, and what screen readers are told.
    "user32.LoadImageW",
    "user32.NotifyWinEvent",
    # Other computers' shutdown, asked of their remote shutdown service.
    "advapi32.InitiateShutdownW",
    "advapi32.InitiateSystemShutdownExW",
    "advapi32.AbortSystemShutdownW",
)
RELAY_KEY = r"HKCU\Software\Wine\Debug"
CHILD_WINEDEBUG = "+relay,+timestamp,+pid"

# winprobe launch exits with these when it could not start or had to end the child.
LAUNCH_FAILED = 98
LAUNCH_TIMED_OUT = 99


class HarnessRefused(RuntimeError):
    """The environment is not one in which the program may be run."""


def _refuse(message: str) -> None:
    raise HarnessRefused(
        "keldrin_e2e refuses to run: " + message +
        "\nThe end-to-end tests run the real program and must only ever run under Wine,"
        " with a prefix inside the build folder (run them through CTest or scripts/test.sh).")


def _inside(path: str, folder: str) -> bool:
    path = os.path.realpath(path)
    folder = os.path.realpath(folder)
    return os.path.commonpath([path, folder]) == folder and path != folder


class _Config(NamedTuple):
    dist: str
    probe: str
    build: str
    prefix: str
    arch: str
    wine: str


# The loaders scripts/keldrin-wine starts for each flavour.
_LOADERS = {"x86": "/usr/lib/wine/wine", "x64": "/usr/lib/wine/wine64"}


def _check_environment() -> _Config:
    if sys.platform in ("win32", "cygwin", "msys") or os.name == "nt":
        _refuse("this is Windows; a power operation here would be real")
    arch = os.environ.get("KELDRIN_ARCH", "")
    if arch not in _LOADERS:
        _refuse("KELDRIN_ARCH (the flavour) is not x86 or x64: %r" % arch)
    wine = os.environ.get("KELDRIN_WINE") or os.path.join(
        os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__)))), "scripts", "keldrin-wine")
    if not os.access(wine, os.X_OK):
        _refuse("the Wine wrapper %r is missing" % wine)
    if not os.access(_LOADERS[arch], os.X_OK):
        _refuse("Wine's %s loader %s is not installed" % (arch, _LOADERS[arch]))
    build = os.environ.get("KELDRIN_BUILD", "")
    if not build or not os.path.isdir(build):
        _refuse("KELDRIN_BUILD (the build folder) is not set or does not exist: %r" % build)
    prefix = os.environ.get("WINEPREFIX") or os.path.join(build, "wineprefix")
    if not _inside(prefix, build):
        _refuse("WINEPREFIX %r does not lie inside the build folder %r" % (prefix, build))
    dist = os.environ.get("KELDRIN_DIST", "")
    if not os.path.isfile(os.path.join(dist, "Keldrin.exe")):
        _refuse("KELDRIN_DIST has no Keldrin.exe: %r" % dist)
    probe = os.environ.get("KELDRIN_PROBE", "")
    if not os.path.isfile(probe):
        _refuse("KELDRIN_PROBE (winprobe.exe) not found: %r" % probe)
    return _Config(os.path.realpath(dist), os.path.realpath(probe), os.path.realpath(build),
                   os.path.realpath(prefix), arch, os.path.realpath(wine))


CONFIG = _check_environment()


def wine(*args: str) -> List[str]:
    """The command that runs args under this flavour's Wine: a program with its
    arguments, or one of wineboot, winepath, wineserver, reg, cmd."""
    return [CONFIG.wine, "--arch=" + CONFIG.arch] + list(args)


# ---- Wine environment -------------------------------------------------------

_xvfb: Optional[subprocess.Popen] = None


def _stop_xvfb() -> None:
    if _xvfb is not None:
        _xvfb.terminate()
        _xvfb.wait(timeout=10)


def _ensure_display() -> str:
    """DISPLAY as given (the second and third lanes' own, KELDRIN_DISPLAY_B
    and KELDRIN_DISPLAY_C, in those lanes), or a private Xvfb started for
    this process."""
    global _xvfb
    lane = os.environ.get("KELDRIN_LANE")
    if lane in ("b", "c") and _xvfb is None:
        os.environ["DISPLAY"] = os.environ.get("KELDRIN_DISPLAY_" + lane.upper(), "")
    display = os.environ.get("DISPLAY")
    if display:
        return display
    if _xvfb is None:
        number = next(n for n in range(140, 400)
                      if not os.path.exists("/tmp/.X11-unix/X%d" % n)
                      and not os.path.exists("/tmp/.X%d-lock" % n))
        _xvfb = subprocess.Popen(["Xvfb", ":%d" % number, "-screen", "0", "1024x768x24", "-nolisten", "tcp"],
                                 stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        atexit.register(_stop_xvfb)
        deadline = time.monotonic() + 10
        while not os.path.exists("/tmp/.X11-unix/X%d" % number):
            if time.monotonic() > deadline or _xvfb.poll() is not None:
                raise RuntimeError("Xvfb did not start on :%d" % number)
            time.sleep(0.05)
        os.environ["DISPLAY"] = ":%d" % number
    return os.environ["DISPLAY"]


def wine_env(**extra: str) -> dict:
    """Environment for a wine command: the prefix, quiet debug output, no Mono/Gecko prompts."""
    env = dict(os.environ)
    env.update(WINEPREFIX=CONFIG.prefix, WINEDEBUG="-all", WINEDLLOVERRIDES="mscoree,mshtml=",
               DISPLAY=_ensure_display())
    env.update(extra)
    return env


def wine_pids(*name_parts: str) -> List[int]:
    """Unix pids of this prefix's processes whose command line contains every one of name_parts."""
    found = []
    prefix_entry = ("WINEPREFIX=" + CONFIG.prefix).encode()
    for entry in os.listdir("/proc"):
        if not entry.isdigit():
            continue
        try:
            with open("/proc/%s/cmdline" % entry, "rb") as f:
                cmdline = f.read()
            with open("/proc/%s/environ" % entry, "rb") as f:
                environ = f.read().split(b"\0")
        except OSError:
            continue
        if prefix_entry in environ and all(part.encode() in cmdline for part in name_parts):
            found.append(int(entry))
    return found


def wait_for_session_end(timeout: float = 30.0) -> None:
    """ExitWindowsEx under Wine starts wineboot --end-session and returns at once;
    wineboot then closes every window of the prefix. The next test must not start
    before it has finished, or its windows would be closed too."""
    deadline = time.monotonic() + timeout
    while wine_pids("wineboot.exe"):
        if time.monotonic() > deadline:
            raise RuntimeError("wineboot --end-session still running after %.0f s" % timeout)
        time.sleep(0.1)
    _warm_up()


def _warm_up() -> None:
    """Starts the prefix's desktop process quietly. A relayed child would
    otherwise start it with the child's WINEDEBUG, and it would trace every
    window message of the desktop into that child's log for the rest of the run."""
    with Probe() as probe:
        probe.command("windows", 0, multi=True)


@functools.lru_cache(maxsize=None)
def _prepare_prefix() -> None:
    os.makedirs(CONFIG.prefix, exist_ok=True)
    if not os.path.isfile(os.path.join(CONFIG.prefix, "system.reg")):
        subprocess.run(wine("wineboot", "-i"), env=wine_env(), stdout=subprocess.DEVNULL,
                       stderr=subprocess.DEVNULL, timeout=300, check=False)
        subprocess.run(wine("wineserver", "-w"), env=wine_env(), timeout=300, check=False)
    # A persistent server keeps every later wine start well under a second.
    subprocess.run(wine("wineserver", "-p"), env=wine_env(), stdout=subprocess.DEVNULL,
                   stderr=subprocess.DEVNULL, timeout=60, check=False)
    with Probe() as probe:
        current = probe.reg_get(RELAY_KEY, "RelayInclude")
        entries = current.split(";") if isinstance(current, str) and current else []
        missing = [name for name in RELAY_INCLUDE if name not in entries]
        if missing:
            probe.reg_set(RELAY_KEY, "RelayInclude", ";".join(entries + missing))
        # Without a window manager on Xvfb, hiding a managed window waits 2 s for
        # a WM that never answers; unmanaged windows close at once.
        if probe.reg_get(r"HKCU\Software\Wine\X11 Driver", "Managed") != "N":
            probe.reg_set(r"HKCU\Software\Wine\X11 Driver", "Managed", "N")
        probe.command("windows", 0, multi=True)


@functools.lru_cache(maxsize=None)
def unix_to_windows_path(path: str) -> str:
    """The Windows form of a Unix path, as the prefix sees it (winepath -w)."""
    _prepare_prefix()
    result = subprocess.run(wine("winepath", "-w", os.path.abspath(path)), env=wine_env(),
                            stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, timeout=60, check=True)
    return result.stdout.decode("utf-8").strip()


# ---- the settings file ------------------------------------------------------------

# What every save leaves in the program's section, in this order.
SAVED_KEYS = ("PowerOperation", "PowerDestination", "PowerSelection", "PowerWaitMin", "PowerUseAtTime",
              "PowerAtTime", "PowerWatch", "PowerIdleMin", "PowerWatchProgram", "PowerQuietMin",
              "PowerScheduleDays", "PowerScheduleWake")


def read_bytes(path: str) -> bytes:
    with open(path, "rb") as f:
        return f.read()


def write_bytes(path: str, data: bytes) -> None:
    with open(path, "wb") as f:
        f.write(data)


def ini(*lines: str) -> bytes:
    """A settings file of these lines, each ended with CR LF."""
    return "".join(line + "\r\n" for line in lines).encode("latin-1")


def ini_lines(data: bytes) -> List[str]:
    """The file's lines, separators kept apart so that a block joined with "\\n"
    gives its bytes back; a UTF-16 file (with its BOM) is read as such."""
    if data.startswith(b"\xff\xfe"):
        return data[2:].decode("utf-16-le").split("\n")
    return data.decode("latin-1").split("\n")


def section_bounds(lines: List[str], name: str) -> List[Tuple[int, int]]:
    """(header index, end index) of every section called name, in any letter case."""
    headers = [i for i, line in enumerate(lines) if line.strip().startswith("[")]
    bounds = []
    for n, i in enumerate(headers):
        if lines[i].strip().rstrip("\r").lower() == "[%s]" % name.lower():
            bounds.append((i, headers[n + 1] if n + 1 < len(headers) else len(lines)))
    return bounds


def section_text(data: bytes, name: str) -> str:
    lines = ini_lines(data)
    (start, end), = section_bounds(lines, name)
    return "\n".join(lines[start:end])


def section_entries(lines: List[str], start: int, end: int) -> List[Tuple[str, str]]:
    """(key, value) of each line of the section lines[start:end], blanks around
    "=" dropped: Windows keeps a line as handed over, Wine writes "key =value"."""
    body = [line.rstrip("\r") for line in lines[start + 1:end]]
    if end == len(lines) and body and body[-1] == "":
        body.pop()    # the file's last line end
    return [(key.strip(), value.strip()) for key, _, value in (line.partition("=") for line in body)]


def read_settings(path: str) -> Dict[str, int]:
    """{key: number} of the file's [Keldrin] section, as the program left it."""
    lines = ini_lines(read_bytes(path))
    bounds = section_bounds(lines, "Keldrin")
    if not bounds:
        raise AssertionError("no [Keldrin] section in %s:\n%s" % (path, "\n".join(lines)))
    return {key: int(value) for key, value in section_entries(lines, *bounds[0]) if re.fullmatch(r"-?\d+", value)}


def saved_settings(section: str, operation: int, destination: int = 0, selection: int = 0,
                   wait_min: int = 0, use_at_time: int = 0, at_time: int = 2300, watch: int = 0,
                   idle_min: int = 10, program: str = "", quiet_min: int = 5, schedule_days: int = 127,
                   schedule_wake: int = 0) -> List[bytes]:
    """The two byte forms a fresh save may take: Windows keeps the lines as
    handed over, Wine re-writes each as key "=" value without the blank. The
    time of day is hours and minutes (2300, the default, for 23:00); the watch
    choice's minutes default to 10 and 5, the repetition to every day (127)
    without waking. A key longer than the column gets one blank."""
    values = (operation, destination, selection, wait_min, use_at_time, at_time, watch, idle_min, program, quiet_min,
              schedule_days, schedule_wake)
    return [ini("[%s]" % section, *("%s =%s%s" % (key.ljust(16), gap, value)
                                    for key, value in zip(SAVED_KEYS, values)))
            for gap in (" ", "")]


# ---- program folders ----------------------------------------------------------

def _safe_name(text: str) -> str:
    return re.sub(r"[^A-Za-z0-9_.-]", "_", text)


class ProgramFolder:
    """A fresh folder holding Keldrin.exe and the chosen resource modules."""

    def __init__(self, name: str, modules=MODULE_NAMES):
        self.path = os.path.join(CONFIG.build, "e2e-scratch", _safe_name(name))
        self.logs = os.path.join(CONFIG.build, "e2e-logs", _safe_name(name))
        for folder in (self.path, self.logs):
            shutil.rmtree(folder, ignore_errors=True)
            os.makedirs(folder)
        for file_name in ("Keldrin.exe",) + tuple(modules):
            shutil.copy2(os.path.join(CONFIG.dist, file_name), self.path)
        self.exe = os.path.join(self.path, "Keldrin.exe")
        self._runs = 0

    @property
    def windows_path(self) -> str:
        return unix_to_windows_path(self.path)

    @property
    def windows_exe(self) -> str:
        return unix_to_windows_path(self.path) + "\\Keldrin.exe"

    @property
    def settings_path(self) -> str:
        """The settings file the program keeps beside itself in a writable folder, run as USER."""
        return os.path.join(self.path, "Keldrin-%s.ini" % USER)

    def write_settings(self, **values: int) -> None:
        """A [Keldrin] section the program reads at start-up: SaverLockOff=1 is PowerSaverLockOff=1."""
        write_bytes(self.settings_path, ini("[Keldrin]", *("Power%s=%d" % item for item in values.items())))

    def read_settings(self) -> Dict[str, int]:
        return read_settings(self.settings_path)

    def unix_pid(self) -> int:
        """The Unix pid of the one Keldrin.exe of this folder that runs (Wine
        shows the Windows command line as the process's), e.g. to stop it."""
        pids = wine_pids(self.windows_exe + "\0")
        if len(pids) != 1:
            raise RuntimeError("%d processes of %s run" % (len(pids), self.windows_exe))
        return pids[0]

    def files(self) -> List[str]:
        return sorted(os.listdir(self.path))

    def next_log(self) -> str:
        self._runs += 1
        return os.path.join(self.logs, "run%02d" % self._runs)


# ---- runs and relay traces -------------------------------------------------------

class Call(NamedTuple):
    """One relayed call: Call user32.ExitWindowsEx(00000009,00000000) ret=00401816."""
    name: str
    args: List[str]
    pid: int
    tid: int
    time: float
    ret: int

    @property
    def pair(self):
        return (self.name, self.args)


_CALL_LINE = re.compile(
    r"^(?:(?P<time>\d+\.\d+):)?(?P<pid>[0-9a-f]{4,8}):(?P<tid>[0-9a-f]{4,8}):"
    r"Call (?P<module>\w+)\.(?P<function>\w+)\((?P<args>.*)\) ret=(?P<ret>[0-9a-f]+)$")
_ARG = re.compile(r'L?"(?:[^"\\]|\\.)*"|[^,]+')


# The 32-bit arguments (UINT, INT, DWORD, BOOL) of the calls the tests read.
# A 64-bit relay trace prints the whole register, whose upper half the
# calling convention leaves undefined for these (seen: nShow 100000001), so
# only their lower 32 bits are the argument.
_INT32_ARGS = {
    "user32.ExitWindowsEx": (0, 1),
    "kernel32.SetSystemPowerState": (0, 1),
    "user32.SendMessageW": (1,),
    "user32.SendMessageTimeoutW": (1, 4, 5),
    "user32.SetTimer": (2,),
    "user32.SetDlgItemTextW": (1,),
    "shell32.ShellExecuteW": (5,),
    "advapi32.AdjustTokenPrivileges": (1,),
    "advapi32.RegSetValueExW": (2, 3, 5),
    "user32.ChangeWindowMessageFilterEx": (1, 2),
    "user32.LoadImageW": (2, 3, 4, 5),
    "user32.NotifyWinEvent": (0, 2, 3),
    "advapi32.InitiateShutdownW": (2, 3, 4),
}


def _int32_args(name: str, args: List[str]) -> List[str]:
    for index in _INT32_ARGS.get(name, ()):
        if index < len(args) and re.fullmatch(r"[0-9a-f]+", args[index]):
            args[index] = "%08x" % (int(args[index], 16) & 0xFFFFFFFF)
    return args


def parse_relay(text: str) -> List[Call]:
    """Every relayed API call in a +relay,+timestamp,+pid trace, in order."""
    calls = []
    for line in text.splitlines():
        match = _CALL_LINE.match(line)
        if not match:
            continue
        # Wine prints some module names in capitals (KERNEL32, but user32).
        name = match["module"].lower() + "." + match["function"]
        calls.append(Call(name, _int32_args(name, _ARG.findall(match["args"])), int(match["pid"], 16),
                          int(match["tid"], 16), float(match["time"] or 0), int(match["ret"], 16)))
    return calls


# Wine's relay trace prints a wide string argument as: 0072efc0 L"\3042\3068 3 \79d2"
_RELAY_ESCAPE = re.compile(r"\\([0-9a-fA-F]{4}|.)")


def relay_text(argument: str) -> str:
    """The text of a wide string argument as the relay trace prints it."""
    start, end = argument.find('L"'), argument.rfind('"')
    if start < 0 or end <= start + 1:
        return ""
    simple = {"n": "\n", "r": "\r", "t": "\t"}
    return _RELAY_ESCAPE.sub(lambda m: chr(int(m[1], 16)) if len(m[1]) == 4 else simple.get(m[1], m[1]),
                             argument[start + 2:end])


COUNTDOWN_TIMER = "00001389"   # 5001, as SetTimer's id argument in the trace


def countdown_timers(calls: List["Call"]) -> List["Call"]:
    """The SetTimer calls that armed the countdown's timer, in order."""
    return [call for call in calls if call.name == "user32.SetTimer" and call.args[1] == COUNTDOWN_TIMER]


# The monitor-off broadcast as a traced call: SendMessageTimeoutW(HWND_BROADCAST,
# WM_SYSCOMMAND, SC_MONITORPOWER, 2 (off), SMTO_ABORTIFHUNG, 500 ms a window,
# no result asked for), so no program that stopped answering can hold it up.
MONITOR_OFF = ("user32.SendMessageTimeoutW",
               ["0000ffff", "00000112", "0000f170", "00000002", "00000002", "000001f4", "00000000"])

# The calls that make up a power operation; the two send functions only as a
# broadcast of WM_SYSCOMMAND (HWND_BROADCAST), so a broadcast through
# SendMessageW shows up as a power call that is not MONITOR_OFF.
POWER_FUNCTIONS = ("advapi32.AdjustTokenPrivileges", "user32.ExitWindowsEx", "user32.LockWorkStation",
                   "kernel32.SetSystemPowerState")
BROADCAST_FUNCTIONS = ("user32.SendMessageTimeoutW", "user32.SendMessageW")


def is_power_call(call: Call) -> bool:
    if call.name in POWER_FUNCTIONS:
        return True
    return call.name in BROADCAST_FUNCTIONS and call.args[:2] == ["0000ffff", "00000112"]


class RunResult(NamedTuple):
    exit_code: int
    pid: Optional[int]
    stdout: str
    trace: str
    seconds: float
    calls: List[Call]          # made by the program's own process
    all_calls: List[Call]      # by any process that wrote to the trace

    @property
    def power_calls(self) -> List[Call]:
        return [call for call in self.calls if is_power_call(call)]

    @property
    def timed_out(self) -> bool:
        return self.exit_code == LAUNCH_TIMED_OUT and "did not end within" in self.trace


class Launch:
    """A running `winprobe launch`: the program started with a verbatim command line."""

    def __init__(self, folder: ProgramFolder, tail: Optional[str], timeout: float = 30.0,
                 relay: bool = True, cwd: Optional[str] = None, exe: Optional[str] = None):
        _prepare_prefix()
        exe = exe or folder.windows_exe
        command = '"%s"' % exe if tail is None else '"%s" %s' % (exe, tail)
        log = folder.next_log()
        self.out_path, self.err_path = log + ".out", log + ".err"
        env = wine_env(KELDRIN_E2E_COMMAND=command,
                       KELDRIN_E2E_CWD=cwd if cwd is not None else folder.windows_path,
                       KELDRIN_E2E_TIMEOUT_MS=str(int(timeout * 1000)),
                       KELDRIN_E2E_CHILD_WINEDEBUG=CHILD_WINEDEBUG if relay else "-all")
        self.command = command
        self.timeout = timeout
        self._started = time.monotonic()
        # Files, not pipes: processes the child starts (the desktop, wineboot)
        # inherit its standard handles and could hold a pipe open for minutes.
        with open(self.out_path, "wb") as out, open(self.err_path, "wb") as err:
            self._process = subprocess.Popen(wine(CONFIG.probe, "launch"), env=env,
                                             stdin=subprocess.DEVNULL, stdout=out, stderr=err)
        self._pid: Optional[int] = None
        self._result: Optional[RunResult] = None

    @property
    def pid(self) -> int:
        """The Windows process id of the program, once it has started."""
        deadline = time.monotonic() + 30
        while self._pid is None:
            first = self._read(self.out_path).split("\n", 1)
            if len(first) == 2 and first[0].strip().isdigit():
                self._pid = int(first[0])
            elif self._process.poll() is not None:
                raise RuntimeError("the program did not start: %s\n%s" % (self.command, self._read(self.err_path)))
            elif time.monotonic() > deadline:
                raise RuntimeError("no process id from winprobe launch after 30 s")
            else:
                time.sleep(0.02)
        return self._pid

    def running(self) -> bool:
        return self._process.poll() is None

    def wait(self, timeout: Optional[float] = None) -> RunResult:
        """Waits for the program's end (the launcher ends it after its own timeout)."""
        if self._result is not None:
            return self._result
        limit = (timeout if timeout is not None else self.timeout) + 15
        try:
            self._process.wait(timeout=limit)
        except subprocess.TimeoutExpired:
            self._process.kill()
            self._process.wait()
            raise RuntimeError("winprobe launch did not return within %.0f s: %s" % (limit, self.command))
        seconds = time.monotonic() - self._started
        stdout = self._read(self.out_path)
        lines = stdout.split("\n", 1)
        pid = int(lines[0]) if lines[0].strip().isdigit() else None
        trace = self._read(self.err_path)
        all_calls = parse_relay(trace)
        calls = [call for call in all_calls if call.pid == pid]
        self._result = RunResult(self._process.returncode, pid, lines[1] if len(lines) > 1 else "", trace,
                                 seconds, calls, all_calls)
        if any(call.name == "user32.ExitWindowsEx" for call in calls):
            wait_for_session_end()
        return self._result

    def trace(self) -> List[Call]:
        """The program's relayed calls so far."""
        pid = self.pid
        return [call for call in parse_relay(self._read(self.err_path)) if call.pid == pid]

    def kill(self) -> None:
        """Ends the program (not only the launcher) if it still runs."""
        if self._process.poll() is None:
            try:
                with Probe() as probe:
                    probe.command("kill", self.pid)
                self._process.wait(timeout=15)
            except Exception:
                self._process.kill()
                self._process.wait()

    @staticmethod
    def _read(path: str) -> str:
        with open(path, "rb") as f:
            return f.read().decode("utf-8", errors="replace")


def start(folder: ProgramFolder, tail: Optional[str], **options) -> Launch:
    """Starts Keldrin.exe with the command-line tail given verbatim (None: no tail at all)."""
    return Launch(folder, tail, **options)


def run(folder: ProgramFolder, tail: Optional[str], timeout: float = 30.0, **options) -> RunResult:
    """Runs Keldrin.exe to its end; the launcher ends it after `timeout` seconds."""
    return Launch(folder, tail, timeout=timeout, **options).wait()


# ---- window probe ---------------------------------------------------------------

def _escape(text: str) -> str:
    return text.replace("\\", "\\\\").replace("\n", "\\n").replace("\r", "\\r").replace("\t", "\\t")


def _unescape(text: str) -> str:
    return re.sub(r"\\(.)", lambda m: {"n": "\n", "r": "\r", "t": "\t"}.get(m[1], m[1]), text)


class ProbeError(RuntimeError):
    pass


class Child(NamedTuple):
    id: int
    cls: str
    style: int
    text: str
    hwnd: int

    @property
    def visible(self) -> bool:
        return bool(self.style & 0x10000000)

    @property
    def enabled(self) -> bool:
        return not self.style & 0x08000000


class TopWindow(NamedTuple):
    hwnd: int
    cls: str
    visible: bool
    title: str


class Probe:
    """Client of `winprobe serve`: looks at and drives windows of other processes.

    Every answer is awaited with a timeout, so a probe killed by an ending
    session or a stuck target fails the test instead of hanging it."""

    def __init__(self):
        _ensure_display()
        self._process = subprocess.Popen(wine(CONFIG.probe, "serve"), env=wine_env(),
                                         stdin=subprocess.PIPE, stdout=subprocess.PIPE,
                                         stderr=subprocess.DEVNULL)
        self._lines: "queue.Queue[Optional[str]]" = queue.Queue()
        threading.Thread(target=self._reader, daemon=True).start()

    def _reader(self) -> None:
        with self._process.stdout as stream:
            for raw in stream:
                self._lines.put(raw.decode("utf-8", errors="replace").rstrip("\r\n"))
        self._lines.put(None)

    def command(self, *args, multi: bool = False, timeout: float = 20.0):
        """Sends one command; returns its answer line, or the list of lines before '.'."""
        line = "\t".join(str(arg) for arg in args) + "\n"
        try:
            self._process.stdin.write(line.encode("utf-8"))
            self._process.stdin.flush()
        except (BrokenPipeError, ValueError) as error:
            raise ProbeError("winprobe serve is gone (%s)" % error)
        lines = []
        while True:
            try:
                answer = self._lines.get(timeout=timeout)
            except queue.Empty:
                raise ProbeError("no answer to %r within %.0f s" % (line.strip(), timeout))
            if answer is None:
                raise ProbeError("winprobe serve ended while answering %r" % line.strip())
            if answer.startswith("error ") and not lines:
                raise ProbeError("%s: %s" % (line.strip(), answer))
            if not multi:
                return answer
            if answer == ".":
                return lines
            lines.append(answer)

    # Windows
    def wait_window(self, pid: int, timeout: float = 10.0, title: str = "") -> Optional[int]:
        """A visible top-level window of process pid (0: any other process) whose
        title contains `title`; None when none appeared or the process ended."""
        args = ["wait", pid, int(timeout * 1000)] + ([title] if title else [])
        answer = self.command(*args, timeout=timeout + 20)
        return None if answer in ("none", "exited") else int(answer, 16)

    def wait_gone(self, hwnd: int, timeout: float = 10.0) -> bool:
        return self.command("waitgone", "%x" % hwnd, int(timeout * 1000), timeout=timeout + 20) == "1"

    def wait_other_window(self, pid: int, known, timeout: float = 10.0) -> Optional[int]:
        """A visible top-level window of pid that is none of `known`, or None."""
        deadline = time.monotonic() + timeout
        while time.monotonic() < deadline:
            for window in self.windows(pid):
                if window.visible and window.hwnd not in known:
                    return window.hwnd
            time.sleep(0.05)
        return None

    def windows(self, pid: int) -> List[TopWindow]:
        result = []
        for line in self.command("windows", pid, multi=True):
            hwnd, cls, visible, title = line.split("\t", 3)
            result.append(TopWindow(int(hwnd, 16), cls, visible == "1", _unescape(title)))
        return result

    def children(self, hwnd: int) -> List[Child]:
        result = []
        for line in self.command("children", "%x" % hwnd, multi=True):
            ident, cls, style, text, child = line.split("\t")
            result.append(Child(int(ident), cls, int(style, 16), _unescape(text), int(child, 16)))
        return result

    def seconds_left(self, hwnd: int) -> int:
        """The time left a countdown shows, in seconds (a great many before its first tick)."""
        numbers = [int(n) for n in re.findall(r"\d+", self.text(hwnd, ID.IDC_REMAINING))]
        if not numbers:
            return 1 << 31
        return numbers[0] * 60 + numbers[1] if len(numbers) == 2 else numbers[0]

    def children_by_id(self, hwnd: int) -> Dict[int, Child]:
        return {child.id: child for child in self.children(hwnd)}

    def text(self, hwnd: int, control_id: int = 0) -> str:
        answer = self.command("text", "%x" % hwnd, control_id)
        return _unescape(answer[3:])

    def checked(self, hwnd: int, control_id: int) -> int:
        return int(self.command("checked", "%x" % hwnd, control_id))

    def click(self, hwnd: int, control_id: int) -> str:
        """BM_CLICK; 'ok' when the click finished, 'pending' when it opened a nested loop."""
        return self.command("click", "%x" % hwnd, control_id)

    def set_text(self, hwnd: int, control_id: int, text: str) -> None:
        self.command("settext", "%x" % hwnd, control_id, _escape(text))

    def key(self, hwnd: int, key: str) -> Optional[int]:
        """A key press (enter, esc, tab, space, arrows, or a number) to the focused control;
        returns the handle of the control that had the focus and got it."""
        answer = self.command("key", "%x" % hwnd, key)
        return int(answer[3:], 16) if answer.startswith("ok ") else None

    def rows(self, hwnd: int, control_id: int) -> List[str]:
        """The first column of the dialog's list view, row by row."""
        text = _unescape(self.command("rows", "%x" % hwnd, control_id)[3:])
        return text.split("\n") if text else []

    def item(self, hwnd: int, control_id: int) -> int:
        """The handle of the dialog's control."""
        return int(self.command("item", "%x" % hwnd, control_id), 16)

    def close(self, hwnd: int) -> None:
        self.command("close", "%x" % hwnd)

    def topmost(self, hwnd: int) -> bool:
        return self.command("topmost", "%x" % hwnd) == "1"

    def exstyle(self, hwnd: int) -> int:
        return int(self.command("exstyle", "%x" % hwnd), 16)

    def iconic(self, hwnd: int) -> bool:
        return self.command("iconic", "%x" % hwnd) == "1"

    def show(self, hwnd: int, how: int) -> None:
        """ShowWindowAsync(hwnd, how): SW_MINIMIZE is 6."""
        self.command("show", "%x" % hwnd, how)

    def own_window(self, title: str, hung: bool = False) -> int:
        """A window of the probe's own standing for another program's: in front
        and answering, or (hung) shown and then never answering again."""
        return int(self.command("hang" if hung else "window", title), 16)

    def tray_icons(self) -> List[int]:
        """The notification area's icons: without a tray on the X desktop, Wine shows them in a window of its own."""
        tray = self.wait_window(0, 0, "Wine System Tray")    # visible only while it holds an icon
        return [child.hwnd for child in self.children(tray) if child.cls == "__winex11_tray_icon"] if tray else []

    def foreground(self) -> int:
        return int(self.command("foreground"), 16)

    def activate(self, hwnd: int) -> None:
        """SetForegroundWindow, as the user's click on the window makes it the foreground."""
        self.command("activate", "%x" % hwnd)

    def alive(self, hwnd: int) -> bool:
        return self.command("alive", "%x" % hwnd) == "1"

    def send(self, hwnd: int, control_id: int, message: int, wparam: int = 0, lparam: int = 0) -> int:
        return int(self.command("send", "%x" % hwnd, control_id, message, wparam, lparam)[3:])

    def kill(self, pid: int) -> bool:
        return self.command("kill", pid) == "ok"

    def rect(self, hwnd: int, control_id: int = 0):
        """(left, top, right, bottom) of the window or its control, in screen pixels."""
        left, top, right, bottom = (int(part) for part in self.command("rect", "%x" % hwnd, control_id)[3:].split())
        return left, top, right, bottom

    def module_string(self, module_path: str, string_id: int) -> Optional[str]:
        """String string_id of a resource module (a Windows path), None when it has none."""
        answer = self.command("string", module_path, string_id)
        return None if answer == "none" else _unescape(answer[3:])

    # Registry (read and written inside the prefix, exactly: no reg.exe formatting)
    def reg_get(self, key: str, name: str):
        """str for REG_SZ / REG_EXPAND_SZ, int for REG_DWORD, None when absent."""
        answer = self.command("regget", key, name)
        kind, _, value = answer.partition(" ")
        if kind == "none":
            return None
        if kind in ("sz", "expand_sz"):
            return _unescape(value)
        if kind == "dword":
            return int(value)
        return bytes.fromhex(value)

    def reg_set(self, key: str, name: str, value) -> None:
        if isinstance(value, int):
            self.command("regset", key, name, "dword", value)
        else:
            self.command("regset", key, name, "sz", _escape(value))

    def reg_delete(self, key: str, name: str) -> bool:
        return self.command("regdel", key, name) == "ok"

    def hold(self, windows_path: str) -> None:
        """Keeps the file open in this probe's process (sharing read and write) until release();
        "mutex:NAME" holds a new named mutex instead."""
        answer = self.command("hold", windows_path)
        if answer != "ok":
            raise ProbeError("hold %s: %s" % (windows_path, answer))

    def release(self) -> None:
        self.command("release")

    def quit(self) -> None:
        if self._process.poll() is None:
            try:
                self.command("quit", timeout=5)
            except ProbeError:
                pass
            try:
                self._process.wait(timeout=5)
            except subprocess.TimeoutExpired:
                self._process.kill()
                self._process.wait()
        if self._process.stdin:
            self._process.stdin.close()

    def __enter__(self) -> "Probe":
        return self

    def __exit__(self, *exc) -> None:
        self.quit()


def wait_until(condition, timeout: float) -> bool:
    """Polls condition every 50 ms until it holds (True) or timeout seconds pass (False)."""
    deadline = time.monotonic() + timeout
    while not condition():
        if time.monotonic() > deadline:
            return False
        time.sleep(0.05)
    return True


def fill_in_main_dialog(probe: Probe, hwnd: int, controls, wait_min: str, wait_sec: str) -> None:
    """Clicks the controls (operation, destination, screen-saver option) and types the wait, as a user does."""
    for control in controls:
        probe.click(hwnd, control)
    probe.set_text(hwnd, ID.IDC_WAIT_MIN, wait_min)
    probe.set_text(hwnd, ID.IDC_WAIT_SEC, wait_sec)


def reg_get(key: str, name: str):
    with Probe() as probe:
        return probe.reg_get(key, name)


def reg_set(key: str, name: str, value) -> None:
    with Probe() as probe:
        probe.reg_set(key, name, value)


def reg_delete(key: str, name: str) -> bool:
    with Probe() as probe:
        return probe.reg_delete(key, name)


# ---- the screen-saver password the countdown switches off ---------------------------

DESKTOP_KEY = r"Control Panel\Desktop"
DESKTOP = "HKCU\\" + DESKTOP_KEY
SAVER = "ScreenSaverIsSecure"


def put_saver_value(probe: Probe, value) -> None:
    """Sets "ScreenSaverIsSecure" (a str or a REG_DWORD int); None removes it."""
    if value is None:
        probe.reg_delete(DESKTOP, SAVER)
    else:
        probe.reg_set(DESKTOP, SAVER, value)


def _restore_saver_value(value) -> None:
    # A probe of its own, so the value comes back even when the test's probe has failed.
    with Probe() as probe:
        put_saver_value(probe, value)


def saver_writes(calls: List[Call]) -> List[Call]:
    """The traced writes of "ScreenSaverIsSecure", in order."""
    return [call for call in calls if call.name == "advapi32.RegSetValueExW" and relay_text(call.args[1]) == SAVER]


# ---- test case base ---------------------------------------------------------------

class KeldrinTestCase(unittest.TestCase):
    """Each test gets a fresh program folder; whatever it started is ended afterwards."""

    modules = MODULE_NAMES

    def setUp(self) -> None:
        _prepare_prefix()
        self.folder = ProgramFolder(self.id(), self.modules)

    def start(self, tail: Optional[str], **options) -> Launch:
        launch = start(self.folder, tail, **options)
        self.addCleanup(launch.kill)
        return launch

    def run_keldrin(self, tail: Optional[str], timeout: float = 30.0, **options) -> RunResult:
        result = run(self.folder, tail, timeout=timeout, **options)
        self.assertFalse(result.timed_out, "Keldrin.exe %s did not end within %.0f s" % (tail, timeout))
        return result

    def probe(self) -> Probe:
        probe = Probe()
        self.addCleanup(probe.quit)
        return probe

    def keep_saver_value(self, probe: Probe) -> None:
        """Puts "ScreenSaverIsSecure" back as the user had it when the test ends."""
        self.addCleanup(_restore_saver_value, probe.reg_get(DESKTOP, SAVER))
