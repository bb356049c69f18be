"""What the countdown and select dialogs look like on screen: screenshots of
the test display, pixel colours at control positions, and the Windows version
Wine reports to Keldrin.exe alone.

Wine reads HKCU\\Software\\Wine\\AppDefaults\\<exe>\\Version for each program
it starts, so "win8" there makes the shipped program see Windows 8 (6.2) and
take its coloured templates, while the rest of the prefix stays as it is.
"""

import os
import re
import subprocess
import time
from typing import Callable, Optional, Tuple

from keldrin_e2e import BS_OWNERDRAW, BS_TYPEMASK, IDCANCEL, IDOK, Probe, wine_env

APP_DEFAULTS = r"HKCU\Software\Wine\AppDefaults\Keldrin.exe"

BACKGROUND = (31, 174, 255)
STATIC_TEXT = (255, 224, 128)
FIRST_FACE = (27, 88, 184)
SECOND_FACE = (255, 29, 119)

Colour = Tuple[int, int, int]


class Screenshot:
    """The whole X screen as RGB pixels (import -window root)."""

    def __init__(self, path: str):
        subprocess.run(["import", "-window", "root", path], env=wine_env(), check=True, timeout=60,
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        ppm = subprocess.run(["convert", path, "-depth", "8", "ppm:-"], check=True, timeout=60,
                             stdout=subprocess.PIPE, stderr=subprocess.DEVNULL).stdout
        header = re.match(rb"P6\s+(\d+)\s+(\d+)\s+(\d+)\s", ppm)
        if not header or header.group(3) != b"255":
            raise RuntimeError("unexpected screenshot format in %s" % path)
        self.path = path
        self.width, self.height = int(header.group(1)), int(header.group(2))
        self._pixels = ppm[header.end():]

    def pixel(self, x: int, y: int) -> Colour:
        offset = 3 * (y * self.width + x)
        return tuple(self._pixels[offset:offset + 3])

    def count(self, left: int, top: int, right: int, bottom: int, colour: Colour) -> int:
        """How many pixels of the rectangle have exactly this colour."""
        return sum(1 for y in range(max(top, 0), min(bottom, self.height))
                   for x in range(max(left, 0), min(right, self.width)) if self.pixel(x, y) == colour)


def screenshot_when(path: str, ready: Callable[[Screenshot], bool], timeout: float = 5.0) -> Screenshot:
    """Screenshots until ready(shot) holds (painting may lag behind the window
    appearing) or the timeout passes; returns the last one taken."""
    deadline = time.monotonic() + timeout
    while True:
        shot = Screenshot(path)
        if ready(shot) or time.monotonic() > deadline:
            return shot
        time.sleep(0.2)


def set_windows_version(probe: Probe, version: Optional[str]) -> None:
    """Makes Wine report this version ("win8", "win7", ...) to Keldrin.exe; None removes it."""
    if version is None:
        probe.reg_delete(APP_DEFAULTS, "Version")
    else:
        probe.reg_set(APP_DEFAULTS, "Version", version)


def button_kind(probe: Probe, hwnd: int, control_id: int) -> int:
    for child in probe.children(hwnd):
        if child.id == control_id:
            return child.style & BS_TYPEMASK
    raise AssertionError("the dialog has no control %d" % control_id)


def face_point(rect) -> Tuple[int, int]:
    """A point on a button's face clear of its centred caption."""
    left, top, right, bottom = rect
    return left + 3, top + 3


def empty_client_point(rect) -> Tuple[int, int]:
    """A point in the dialog's bottom-left corner inside the frame: both
    templates keep that corner free of controls."""
    left, top, right, bottom = rect
    return left + 10, bottom - 8


def keep_shots_folder(logs: str) -> str:
    folder = os.path.join(logs, "screenshots")
    os.makedirs(folder, exist_ok=True)
    return folder


WINDOWS_8_COLOURS = {"background": BACKGROUND, "first": FIRST_FACE, "second": SECOND_FACE}


class ColouredLookChecks:
    """The two looks of a dialog with a coloured template (the countdown, the
    select dialog), for a KeldrinTestCase with its probe in self.p: painted in
    the Windows 8 colours with owner-drawn OK and Cancel under "win8", left to
    the system under "win7". open_for_look() opens the dialog: (launch, hwnd)."""

    shot_name = "dialog"   # screenshots are kept as <shot_name>-<windows version>.png

    def open_for_look(self):
        raise NotImplementedError

    def look(self, version: str):
        """Opens the dialog under this Windows version; (button kinds, colours on screen, screenshot path)."""
        set_windows_version(self.p, version)
        self.addCleanup(set_windows_version, self.p, None)
        launch, hwnd = self.open_for_look()
        kinds = (button_kind(self.p, hwnd, IDOK), button_kind(self.p, hwnd, IDCANCEL))
        points = {"background": empty_client_point(self.p.rect(hwnd)),
                  "first": face_point(self.p.rect(hwnd, IDOK)),
                  "second": face_point(self.p.rect(hwnd, IDCANCEL))}
        path = os.path.join(keep_shots_folder(self.folder.logs), "%s-%s.png" % (self.shot_name, version))
        shot = screenshot_when(path, lambda s: all(s.pixel(*points[k]) == WINDOWS_8_COLOURS[k] for k in points)
                               if version == "win8" else s.pixel(*points["background"]) != (0, 0, 0))
        colours = {key: shot.pixel(*point) for key, point in points.items()}
        self.p.click(hwnd, IDCANCEL)
        self.assertEqual([], launch.wait(timeout=10).power_calls)
        return kinds, colours, shot.path

    def assertPaintsWindows8Colours(self):
        kinds, colours, path = self.look("win8")
        self.assertEqual((BS_OWNERDRAW, BS_OWNERDRAW), kinds)
        self.assertEqual(WINDOWS_8_COLOURS, colours, "see %s" % path)

    def assertLeavesDrawingToTheSystem(self):
        kinds, colours, path = self.look("win7")
        self.assertNotIn(BS_OWNERDRAW, kinds)
        for key, colour in WINDOWS_8_COLOURS.items():
            self.assertNotEqual(colour, colours[key], "%s painted in the Windows 8 colour; see %s" % (key, path))
