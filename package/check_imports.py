#!/usr/bin/env python3
"""The 32-bit program imports only what Windows XP has.

    python3 package/check_imports.py PROGRAM LIST

Reads the import table of PROGRAM (objdump of the file's own toolchain) and
fails on any function that LIST (xp_imports.txt) does not name for its DLL,
and on any entry of LIST whose oldest Windows is later than XP. Names the
listed functions the program no longer imports, without failing.
"""
import os
import subprocess
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.dirname(os.path.abspath(__file__))), "bench"))
from sizes import OBJDUMP, pe_machine  # noqa: E402

SUPPORTED = {"95", "NT4", "2000", "XP"}


def imported_functions(path):
    """{(dll in lower case, function)} from objdump -p."""
    output = subprocess.run([OBJDUMP[pe_machine(path)], "-p", path], stdout=subprocess.PIPE, check=True,
                            universal_newlines=True).stdout
    found, dll = set(), None
    for line in output.splitlines():
        if line[:1] not in ("", "\t", " "):
            dll = None  # a heading: the next table of objdump's output
        if "DLL Name:" in line:
            dll = line.split("DLL Name:")[1].strip().lower()
            continue
        parts = line.split()
        if dll and len(parts) == 3 and all(c in "0123456789abcdef" for c in parts[0]) and parts[1].isdigit():
            found.add((dll, parts[2]))
    return found


def allowed_functions(path):
    allowed, problems = {}, []
    with open(path, encoding="utf-8") as f:
        for number, line in enumerate(f, 1):
            if not line.strip() or line.startswith("#"):
                continue
            parts = line.split()
            if len(parts) != 3:
                problems.append("%s:%d: expected DLL, function, oldest Windows" % (path, number))
                continue
            dll, function, oldest = parts
            if oldest not in SUPPORTED:
                problems.append("%s:%d: %s!%s needs Windows %s, later than XP" % (path, number, dll, function, oldest))
            allowed[(dll.lower(), function)] = oldest
    return allowed, problems


def main(argv):
    if len(argv) != 3:
        print(__doc__)
        return 2
    imported = imported_functions(argv[1])
    allowed, problems = allowed_functions(argv[2])
    if not imported:
        problems.append("%s: no imports found (objdump output not understood?)" % argv[1])
    for dll, function in sorted(imported - set(allowed)):
        problems.append("%s imports %s!%s, which %s does not list as present on Windows XP"
                        % (os.path.basename(argv[1]), dll, function, os.path.basename(argv[2])))
    unused = sorted(set(allowed) - imported)
    print("%d imports, all listed" % len(imported) if not problems else "")
    if unused:
        print("listed but not imported (may be removed): " + ", ".join("%s!%s" % key for key in unused))
    for problem in problems:
        print("FAILED: " + problem)
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
