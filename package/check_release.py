"""Checks the release: the set in dist/ and the two archives made from it.

    python3 check_release.py build/dist build/release/Keldrin-1.04.01-jpn.zip build/release/Keldrin-1.04.01-eng.zip

Each archive must hold exactly the update file set of its language, at the
top level, byte for byte the files in dist/ (an archive left over from an
older build would differ). The program's icon and each module's window icon
hold exactly their sizes.
"""

import os
import re
import sys
import unittest
import zipfile

sys.path.insert(0, os.path.join(os.path.dirname(os.path.dirname(os.path.abspath(__file__))), "bench"))
from sizes import ICON_GROUP, icon_images  # noqa: E402

DIST = sys.argv[1] if len(sys.argv) > 1 else "dist"
ARCHIVES = sys.argv[2:]

RELEASE_SET = ("Keldrin.exe", "Keldrin.Jpn.dll", "Keldrin.Eng.dll", "KeldrinResource.dll", "Keldrin.chm",
               "Readme.txt")
CONTENTS = {
    "jpn": ["Keldrin.chm", "Keldrin.exe", "Keldrin.Jpn.dll", "Readme.txt"],
    "eng": ["Keldrin.chm", "Keldrin.Eng.dll", "Keldrin.exe", "Readme.txt"],
}

# Icon 10 of each file, every image as ((width, height), kind, bits per pixel):
# up to 64 pixels 32-bit bitmaps (XP reads no PNG; the alpha smooths the
# edges), the program's 96, 128 and 256 pixels as PNG (only Vista and later
# show them).
WINDOW_ICON = [((size, size), "BMP", 32) for size in (16, 20, 24, 32, 40, 48, 64)]
ICONS = {
    "Keldrin.exe": WINDOW_ICON + [((size, size), "PNG", 32) for size in (96, 128, 256)],
    "Keldrin.Jpn.dll": WINDOW_ICON,
    "Keldrin.Eng.dll": WINDOW_ICON,
    "KeldrinResource.dll": WINDOW_ICON,
}


class Release(unittest.TestCase):

    def test_dist_holds_the_release_set(self):
        for name in RELEASE_SET:
            self.assertTrue(os.path.isfile(os.path.join(DIST, name)), "%s missing from %s" % (name, DIST))

    def test_icons_hold_each_size_once(self):
        for name, expected in ICONS.items():
            with self.subTest(file=name):
                images = icon_images(os.path.join(DIST, name), ICON_GROUP)
                self.assertEqual(expected, sorted((image["size"], image["kind"], image["bits"]) for image in images))
                # Windows chooses by the directory entry, then decodes the image.
                self.assertEqual([image["size"] for image in images], [image["entry"] for image in images])

    def test_one_archive_per_language_named_with_the_version(self):
        languages = sorted(re.fullmatch(r"Keldrin-1\.04\.01-(jpn|eng)\.zip", os.path.basename(path))[1]
                           for path in ARCHIVES)
        self.assertEqual(["eng", "jpn"], languages)

    def test_archives_hold_exactly_the_language_set_as_built(self):
        for path in ARCHIVES:
            language = re.search(r"-(jpn|eng)\.zip$", path)[1]
            with self.subTest(archive=os.path.basename(path)), zipfile.ZipFile(path) as archive:
                self.assertIsNone(archive.testzip())
                self.assertEqual(sorted(CONTENTS[language], key=str.lower),
                                 sorted(archive.namelist(), key=str.lower))
                for name in archive.namelist():
                    with open(os.path.join(DIST, name), "rb") as f:
                        self.assertEqual(f.read(), archive.read(name), "%s differs from dist/%s" % (name, name))

    def test_readme_opens_in_notepad_in_both_languages(self):
        with open(os.path.join(DIST, "Readme.txt"), "rb") as f:
            data = f.read()
        self.assertTrue(data.startswith(b"\xef\xbb\xbf"), "no UTF-8 byte-order mark")
        self.assertNotIn(b"\n", data.replace(b"\r\n", b""), "a line end that is not CR LF")
        text = data[3:].decode("utf-8")
        for phrase in ("Uninstalling", "アンインストール", "--monitorofflock", "ScreenSaverIsSecure",
                       "Keldrin.kvx", "%APPDATA%\\Marlowen\\Keldrin"):
            self.assertIn(phrase, text)


if __name__ == "__main__":
    unittest.main(argv=sys.argv[:1], verbosity=2)
