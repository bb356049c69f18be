"""Checks the built Keldrin.chm from the outside, as a CHM reader sees it.

The program opens the topic _RESOURCE/Help-howtouse.html of Keldrin.chm; the
table of contents and the index must lead to pages (and anchors) that are in
the file. 7z reads CHM files; without it the test is skipped (exit 77).

    python3 check_chm.py build/dist/Keldrin.chm
"""

import html.parser
import re
import shutil
import subprocess
import sys
import unittest

TOPIC = "_RESOURCE/Help-howtouse.html"
ENGLISH_TOPIC = "_RESOURCE/Help-howtouse-en.html"
SKIP = 77

CHM = sys.argv[1] if len(sys.argv) > 1 else "Keldrin.chm"


def seven_zip(*args) -> bytes:
    return subprocess.run(["7z"] + list(args), stdout=subprocess.PIPE, stderr=subprocess.PIPE,
                          timeout=60, check=True).stdout


def member_names():
    """The file names stored in the CHM (7z -slt lists one "Path = " per entry)."""
    listing = seven_zip("l", "-slt", CHM).decode("utf-8", errors="replace")
    names = set()
    for line in listing.splitlines():
        if line.startswith("Path = "):
            names.add(line[len("Path = "):].replace("\\", "/"))
    return names


def member(name: str) -> bytes:
    return seven_zip("e", "-so", CHM, name)


class SiteMap(html.parser.HTMLParser):
    """The (Name, Local) pairs of a .hhc or .hhk site map, with the nesting depth."""

    def __init__(self):
        super().__init__()
        self.entries = []
        self._depth = 0
        self._current = None

    def handle_starttag(self, tag, attrs):
        attrs = dict(attrs)
        if tag == "ul":
            self._depth += 1
        elif tag == "object" and attrs.get("type") == "text/sitemap":
            self._current = {"depth": self._depth}
        elif tag == "param" and self._current is not None:
            self._current[attrs.get("name", "").lower()] = attrs.get("value", "")

    def handle_endtag(self, tag):
        if tag == "ul":
            self._depth -= 1
        elif tag == "object" and self._current is not None:
            self.entries.append(self._current)
            self._current = None


def site_map(name: str):
    parser = SiteMap()
    # The viewer reads the site maps in the help file's code page (932 for 0x411).
    parser.feed(member(name).decode("cp932"))
    return parser.entries


def anchors(page: bytes):
    text = page.decode("utf-8")
    return set(re.findall(r'<a name="([^"]+)"', text)) | set(re.findall(r'\bid="([^"]+)"', text))


class HelpFile(unittest.TestCase):

    @classmethod
    def setUpClass(cls):
        cls.names = member_names()

    def assertLeadsSomewhere(self, local: str, where: str):
        page, _, anchor = local.partition("#")
        self.assertIn(page, self.names, "%s points to %s, which is not in the file" % (where, local))
        if anchor:
            self.assertIn(anchor, anchors(member(page)), "%s points to a missing anchor: %s" % (where, local))

    def test_topic_pages_and_site_maps_are_inside(self):
        for name in (TOPIC, ENGLISH_TOPIC, "Keldrin.hhc", "Keldrin.hhk", "#SYSTEM", "#TOPICS", "#URLSTR"):
            self.assertIn(name, self.names)

    def test_contents_name_both_topics_at_the_top(self):
        entries = site_map("Keldrin.hhc")
        top = [entry for entry in entries if entry["depth"] == 1]
        self.assertEqual([TOPIC, ENGLISH_TOPIC], [entry.get("local") for entry in top])
        self.assertIn("Keldrin", top[0]["name"])
        self.assertRegex(top[0]["name"], "[\u3040-\u30ff\u4e00-\u9fff]", "the Japanese title reads as Japanese")
        for entry in entries:
            self.assertTrue(entry.get("name"), entry)
            self.assertLeadsSomewhere(entry.get("local", ""), "contents entry %r" % entry.get("name"))

    def test_index_entries_lead_to_pages_in_the_file(self):
        entries = site_map("Keldrin.hhk")
        self.assertGreater(len(entries), 20)
        names = [entry.get("name") for entry in entries]
        for keyword in ("--select", "Keldrin.kvx", "ScreenSaverIsSecure", "コマンドライン"):
            self.assertIn(keyword, names)
        for entry in entries:
            self.assertLeadsSomewhere(entry.get("local", ""), "index entry %r" % entry.get("name"))

    def test_default_topic_is_the_program_topic(self):
        # #SYSTEM holds the default topic as a NUL-terminated string in the project's code page.
        self.assertIn(TOPIC.encode("ascii") + b"\0", member("#SYSTEM"))

    def test_pages_link_to_each_other_and_cover_the_command_line(self):
        japanese = member(TOPIC).decode("utf-8")
        english = member(ENGLISH_TOPIC).decode("utf-8")
        self.assertIn('href="Help-howtouse-en.html"', japanese)
        self.assertIn('href="Help-howtouse.html"', english)
        options = ("--shutdown", "--reboot", "--standby", "--sleep", "--logoff", "--monitoroff",
                   "--monitorlock", "--monitorofflock", "--select", "--wait", "--wait-min", "--wait-sec",
                   "--saverlockoff")
        for page, text in ((TOPIC, japanese), (ENGLISH_TOPIC, english)):
            for option in options:
                self.assertIn("<code>%s" % option, text, "%s does not explain %s" % (page, option))
            for name in ("Keldrin-", "Marlowen\\Keldrin", "PowerOperation", "Keldrin.kvx", "Fennrick.exe",
                         "ScreenSaverIsSecure"):
                self.assertIn(name, text, "%s does not mention %s" % (page, name))


if __name__ == "__main__":
    if shutil.which("7z") is None:
        print("7z (package p7zip-full) is not installed: Keldrin.chm cannot be read; skipped")
        sys.exit(SKIP)
    unittest.main(argv=sys.argv[:1], verbosity=2)
