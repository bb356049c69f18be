"""The program run as an unprivileged Unix user, for the cases that need a
program folder the user cannot write into (as root, chmod refuses nobody).

The user gets a home and a Wine prefix of its own; the program, the probe
and every launch run through setpriv with that user's ids and prefix. Creating the prefix takes ~15-25 s, so a test module makes
one user and removes it again when it is done.
"""

import os
import pwd
import queue
import shutil
import subprocess
import threading
import time
from typing import Optional

import keldrin_e2e
from keldrin_e2e import CONFIG, CHILD_WINEDEBUG, MODULE_NAMES, RELAY_INCLUDE, RELAY_KEY, Launch, Probe, ProgramFolder


def skip_reason() -> Optional[str]:
    """Why the unprivileged cases cannot run here, or None when they can."""
    if os.geteuid() != 0:
        return "creating a test user needs root (useradd, setpriv)"
    for tool in ("useradd", "userdel", "setpriv"):
        if shutil.which(tool) is None:
            return "%s is not installed" % tool
    return None


def _searchable(folder: str) -> bool:
    """Whether another user can reach files below folder."""
    folder = os.path.realpath(folder)
    while True:
        if not os.stat(folder).st_mode & 0o001:
            return False
        if folder == os.path.dirname(folder):
            return True
        folder = os.path.dirname(folder)


class UserProgramFolder(ProgramFolder):
    """A program folder the user can reach; root owns it, so the user cannot write into it."""

    def __init__(self, parent: str, name: str, modules=MODULE_NAMES):  # pylint: disable=super-init-not-called
        self.path = os.path.join(parent, keldrin_e2e._safe_name(name))
        self.logs = os.path.join(CONFIG.build, "e2e-logs", keldrin_e2e._safe_name(name))
        for folder in (self.path, self.logs):
            shutil.rmtree(folder, ignore_errors=True)
            os.makedirs(folder)
        os.chmod(self.path, 0o755)
        for file_name in ("Keldrin.exe",) + tuple(modules):
            shutil.copy2(os.path.join(CONFIG.dist, file_name), self.path)
        self.exe = os.path.join(self.path, "Keldrin.exe")
        self._runs = 0


class UnprivilegedUser:
    """A Unix user with its own home and Wine prefix, removed by remove().

    Everything the user runs lies below the build folder when other users can
    reach it there, else below a folder of its own in /tmp."""

    def __init__(self, name: str):
        self.name = name
        if _searchable(CONFIG.build):
            self.base = os.path.join(CONFIG.build, "e2e-users", name)
        else:
            self.base = os.path.join("/tmp", "keldrin-e2e-" + name)
        self.home = os.path.join(self.base, "home")
        self.prefix = os.path.join(self.home, "pfx")
        self.programs = os.path.join(self.base, "programs")
        self.probe_exe = CONFIG.probe if _searchable(CONFIG.probe) else os.path.join(self.base, "winprobe.exe")
        self.wine_script = CONFIG.wine if _searchable(CONFIG.wine) else os.path.join(self.base, "keldrin-wine")

    def create(self, extra_relay=()) -> None:
        self.remove()
        os.makedirs(self.programs)
        # Whatever root's umask left, the user must reach its home, the programs and the probe.
        for folder in (os.path.dirname(self.base), self.base, self.programs):
            if folder != "/tmp":
                os.chmod(folder, 0o755)
        for own, shared in ((self.probe_exe, CONFIG.probe), (self.wine_script, CONFIG.wine)):
            if own != shared:
                shutil.copy2(shared, own)
                os.chmod(own, 0o755)
        subprocess.run(["useradd", "-m", "-d", self.home, "-s", "/usr/sbin/nologin", self.name],
                       check=True, stdout=subprocess.DEVNULL, timeout=60)
        self.run(self.wine("wineboot", "-i"), timeout=300)
        self.run(self.wine("wineserver", "-w"), timeout=300)
        self.run(self.wine("wineserver", "-p"), timeout=60)
        with self.probe() as probe:
            probe.reg_set(RELAY_KEY, "RelayInclude", ";".join(RELAY_INCLUDE + tuple(extra_relay)))
            # As in the root prefix: unmanaged windows close without waiting for a window manager.
            probe.reg_set(r"HKCU\Software\Wine\X11 Driver", "Managed", "N")
            probe.command("windows", 0, multi=True)

    def remove(self) -> None:
        try:
            pwd.getpwnam(self.name)
        except KeyError:
            shutil.rmtree(self.base, ignore_errors=True)
            return
        if os.path.isdir(self.prefix):
            self.run(self.wine("wineserver", "-k"), timeout=60)
        subprocess.run(["userdel", "-r", "-f", self.name], stdout=subprocess.DEVNULL,
                       stderr=subprocess.DEVNULL, timeout=60, check=False)
        shutil.rmtree(self.base, ignore_errors=True)

    def program_folder(self, name: str, modules=MODULE_NAMES) -> UserProgramFolder:
        return UserProgramFolder(self.programs, name, modules)

    def env(self, **extra: str) -> dict:
        env = keldrin_e2e.wine_env()
        env.update(HOME=self.home, USER=self.name, LOGNAME=self.name, WINEPREFIX=self.prefix)
        env.pop("XAUTHORITY", None)
        env.update(extra)
        return env

    def command(self, args) -> list:
        return ["setpriv", "--reuid=" + self.name, "--regid=" + self.name, "--init-groups"] + list(args)

    def wine(self, *args: str) -> list:
        """args under this flavour's Wine, as the user (see keldrin_e2e.wine)."""
        return [self.wine_script, "--arch=" + CONFIG.arch] + list(args)

    def run(self, args, timeout: float = 60.0) -> subprocess.CompletedProcess:
        return subprocess.run(self.command(args), env=self.env(), stdout=subprocess.DEVNULL,
                              stderr=subprocess.DEVNULL, timeout=timeout, check=False)

    def windows_path(self, path: str) -> str:
        result = subprocess.run(self.command(self.wine("winepath", "-w", os.path.abspath(path))), env=self.env(),
                                stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, timeout=60, check=True)
        return result.stdout.decode("utf-8").strip()

    def app_data(self) -> str:
        """The user's roaming application-data folder, as a Unix path."""
        return os.path.join(self.prefix, "drive_c", "users", self.name, "AppData", "Roaming")

    def probe(self) -> "UserProbe":
        return UserProbe(self)

    def start(self, folder: ProgramFolder, tail: Optional[str], timeout: float = 30.0,
              child_debug: str = CHILD_WINEDEBUG) -> "UserLaunch":
        return UserLaunch(self, folder, tail, timeout, child_debug)


class UserProbe(Probe):
    """winprobe serve inside the user's prefix."""

    def __init__(self, user: UnprivilegedUser):  # pylint: disable=super-init-not-called
        self._process = subprocess.Popen(user.command(user.wine(user.probe_exe, "serve")), env=user.env(),
                                         stdin=subprocess.PIPE, stdout=subprocess.PIPE,
                                         stderr=subprocess.DEVNULL)
        self._lines: "queue.Queue[Optional[str]]" = queue.Queue()
        threading.Thread(target=self._reader, daemon=True).start()


class UserLaunch(Launch):
    """winprobe launch as the user: Keldrin.exe from `folder`, traced with `child_debug`."""

    def __init__(self, user: UnprivilegedUser, folder: ProgramFolder, tail: Optional[str],
                 timeout: float = 30.0, child_debug: str = CHILD_WINEDEBUG):  # pylint: disable=super-init-not-called
        self._user = user
        exe = user.windows_path(folder.exe)
        command = '"%s"' % exe if tail is None else '"%s" %s' % (exe, tail)
        log = folder.next_log()
        self.out_path, self.err_path = log + ".out", log + ".err"
        env = user.env(KELDRIN_E2E_COMMAND=command, KELDRIN_E2E_CWD=user.windows_path(folder.path),
                       KELDRIN_E2E_TIMEOUT_MS=str(int(timeout * 1000)),
                       KELDRIN_E2E_CHILD_WINEDEBUG=child_debug)
        self.command = command
        self.timeout = timeout
        self._started = time.monotonic()
        with open(self.out_path, "wb") as out, open(self.err_path, "wb") as err:
            self._process = subprocess.Popen(user.command(user.wine(user.probe_exe, "launch")), env=env,
                                             stdin=subprocess.DEVNULL, stdout=out, stderr=err)
        self._pid: Optional[int] = None
        self._result = None

    def kill(self) -> None:
        if self._process.poll() is None:
            try:
                with self._user.probe() as probe:
                    probe.command("kill", self.pid)
                self._process.wait(timeout=15)
            except Exception:
                self._process.kill()
                self._process.wait()
