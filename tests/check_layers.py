"""Every folder of src/ includes only itself and the folders below it.

The order is the README's: the rows of its layout table that name a folder
of src/, from the top floor down. A file including a folder above its own,
or a folder the table does not place, fails the check; so does a folder of
src/ missing from the table.

    python3 tests/check_layers.py [SOURCE_ROOT]
"""

import os
import re
import sys

ROOT = sys.argv[1] if len(sys.argv) > 1 else os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
SOURCES = (".h", ".cpp", ".rc")


def floors(readme):
    """The src/ folders of the layout table, bottom first."""
    with open(readme, encoding="utf-8") as f:
        text = f.read()
    layout = text[text.index("## Layout"):]
    layout = layout[:layout.find("\n## ", 1) if "\n## " in layout[1:] else len(layout)]
    top_down = re.findall(r"^\| `src/(\w+)/` \|", layout, re.MULTILINE)
    return list(reversed(top_down))


def included_folder(path, include, src):
    """The src/ folder an include names, or None for one outside src/ (generated, system)."""
    for base in (os.path.dirname(path), src):
        target = os.path.normpath(os.path.join(base, include))
        if os.path.isfile(target) and os.path.commonpath([target, src]) == src:
            return os.path.relpath(target, src).split(os.sep)[0]
    return None


def problems(root):
    src = os.path.join(root, "src")
    order = floors(os.path.join(root, "README.md"))
    rank = {folder: i for i, folder in enumerate(order)}
    found = []
    for folder in sorted(os.listdir(src)):
        if os.path.isdir(os.path.join(src, folder)) and folder not in rank:
            found.append("src/%s/ is not in the README's layout table" % folder)
    for directory, _, files in os.walk(src):
        for name in sorted(files):
            if not name.endswith(SOURCES):
                continue
            path = os.path.join(directory, name)
            own = os.path.relpath(path, src).split(os.sep)[0]
            with open(path, encoding="utf-8", errors="replace") as f:
                for number, line in enumerate(f, 1):
                    match = re.match(r'\s*#\s*include\s+"([^"]+)"', line)
                    if not match:
                        continue
                    other = included_folder(path, match.group(1), src)
                    if other is None or other == own:
                        continue
                    if own not in rank or other not in rank or rank[other] > rank[own]:
                        found.append("%s:%d includes %s: %s/ is above %s/" % (
                            os.path.relpath(path, root), number, match.group(1), other, own))
    return order, found


def main():
    order, found = problems(ROOT)
    for problem in found:
        print("FAILED: " + problem)
    if not found:
        print("every file includes only its own folder and those below it: " + " < ".join(order))
    return 1 if found else 0


if __name__ == "__main__":
    sys.exit(main())
