#!/usr/bin/env python3
"""Sizes of the release set and the program's import list.

    python3 bench/sizes.py [DIST] [--check]
    python3 bench/sizes.py --manifest PROGRAM

Keldrin.exe is measured without its icon images: the file size less the bytes
of the images in src/app/icon/keldrin.ico, which the build stores in the
program as they are. With --check the goals are enforced (exit 1 when one is
missed): the program at most 100 KB without its icons, each resource module
at most 64 KB, and nothing imported but system DLLs, and the manifest of
the program names its own architecture. --manifest checks that alone, on any
program file (the 64-bit flavour's too).
"""
import os
import re
import struct
import tempfile
import subprocess
import sys

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
PROGRAM_GOAL = 100 * 1024
MODULE_GOAL = 64 * 1024
MODULES = ("Keldrin.Jpn.dll", "Keldrin.Eng.dll", "KeldrinResource.dll")
# What every Windows since XP has in its system folder.
SYSTEM_DLLS = {"advapi32.dll", "comctl32.dll", "gdi32.dll", "kernel32.dll", "msvcrt.dll", "ole32.dll",
               "oleaut32.dll", "shell32.dll", "user32.dll", "shlwapi.dll", "uuid.dll"}


def icon_image_bytes(path):
    with open(path, "rb") as f:
        data = f.read()
    _, _, count = struct.unpack_from("<HHH", data, 0)
    return sum(struct.unpack_from("<I", data, 6 + 16 * i + 8)[0] for i in range(count))


# What a manifest must name for each machine, in its identity and in the
# common-controls dependency: Windows refuses a 64-bit program that depends on
# the x86 controls.
MANIFEST_ARCH = {0x014C: "x86", 0x8664: "amd64"}

# objdump of the toolchain that reads the file's own machine.
OBJDUMP = {0x014C: "i686-w64-mingw32-objdump", 0x8664: "x86_64-w64-mingw32-objdump"}


def pe_machine(path):
    with open(path, "rb") as f:
        data = f.read(4096)
    offset = struct.unpack_from("<I", data, 0x3C)[0]
    if data[offset:offset + 4] != b"PE\0\0":
        raise ValueError("%s is no PE file" % path)
    return struct.unpack_from("<H", data, offset + 4)[0]


def imports(path):
    output = subprocess.run([OBJDUMP[pe_machine(path)], "-p", path], stdout=subprocess.PIPE, check=True,
                            universal_newlines=True).stdout
    return sorted(line.split("DLL Name:")[1].strip() for line in output.splitlines() if "DLL Name:" in line)


def manifest_problems(path):
    """What is wrong with the architectures the program's manifest names."""
    with tempfile.TemporaryDirectory() as folder:
        subprocess.run(["7z", "x", "-o" + folder, path, ".rsrc/MANIFEST/1"], stdout=subprocess.DEVNULL, check=True)
        with open(os.path.join(folder, ".rsrc", "MANIFEST", "1"), encoding="utf-8") as f:
            manifest = f.read()
    named = re.findall(r'processorArchitecture="([^"]*)"', manifest)
    wanted = MANIFEST_ARCH[pe_machine(path)]
    if len(named) != 2 or any(arch not in (wanted, "*") for arch in named):
        return ["%s: the manifest names %s, not %s for the program and its common controls"
                % (path, named, wanted)]
    return []


def main(argv):
    if len(argv) == 3 and argv[1] == "--manifest":
        problems = manifest_problems(argv[2])
        print("\n".join(problems) or "%s: manifest names %s" % (argv[2], MANIFEST_ARCH[pe_machine(argv[2])]))
        return 1 if problems else 0
    check = "--check" in argv
    args = [a for a in argv[1:] if a != "--check"]
    dist = args[0] if args else os.path.join(ROOT, "build", "dist")
    failures = []

    program = os.path.join(dist, "Keldrin.exe")
    icons = icon_image_bytes(os.path.join(ROOT, "src", "app", "icon", "keldrin.ico"))
    size = os.path.getsize(program)
    # The release set is the 32-bit program's; a 64-bit one here means the
    # wrong folder was measured.
    if pe_machine(program) != 0x014C:
        failures.append("Keldrin.exe in %s is not the 32-bit program (machine 0x%04X)" % (dist, pe_machine(program)))
    print("Keldrin.exe            %7d bytes, %7d without its icon images (%d bytes of images)"
          % (size, size - icons, icons))
    if size - icons > PROGRAM_GOAL:
        failures.append("Keldrin.exe without icons is over 100 KB")
    failures += manifest_problems(program)
    for name in MODULES:
        module_size = os.path.getsize(os.path.join(dist, name))
        if pe_machine(os.path.join(dist, name)) != 0x014C:
            failures.append("%s is not a 32-bit module" % name)
        print("%-22s %7d bytes" % (name, module_size))
        if module_size > MODULE_GOAL:
            failures.append("%s is over 64 KB" % name)
    names = imports(program)
    print("imports: " + ", ".join(names))
    foreign = [n for n in names if n.lower() not in SYSTEM_DLLS]
    if foreign:
        failures.append("imports beyond the system DLLs: " + ", ".join(foreign))
    for name in MODULES:
        if imports(os.path.join(dist, name)):
            failures.append("%s imports something" % name)

    for failure in failures:
        print("MISSED: " + failure)
    return 1 if check and failures else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
