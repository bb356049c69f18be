#!/usr/bin/env python3
"""Sizes of the release set and the program's import list.

    python3 bench/sizes.py [DIST] [--check]
    python3 bench/sizes.py --manifest PROGRAM

Keldrin.exe is measured without its icon images: the file size less the bytes
of the images of its icon, read from the program's own resources. With --check the goals are enforced (exit 1 when one is
missed): the program at most 100 KB without its icons, each resource module
at most 64 KB, and nothing imported but system DLLs, and the manifest of
the program names its own architecture. --manifest checks that alone, on any
program file (the 64-bit flavour's too).
"""
import os
import re
import struct
import subprocess
import sys
import tempfile
from xml.etree import ElementTree

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
PROGRAM_GOAL = 100 * 1024
MODULE_GOAL = 64 * 1024
MODULES = ("Keldrin.Jpn.dll", "Keldrin.Eng.dll", "KeldrinResource.dll")
# What every Windows since XP has in its system folder.
SYSTEM_DLLS = {"advapi32.dll", "comctl32.dll", "gdi32.dll", "kernel32.dll", "msvcrt.dll", "ole32.dll",
               "oleaut32.dll", "shell32.dll", "user32.dll", "shlwapi.dll", "uuid.dll"}


RT_ICON, RT_GROUP_ICON = 3, 14
PNG_SIGNATURE = b"\x89PNG\r\n\x1a\n"


def resources(path):
    """{(type, name): bytes} of a PE file's resources with numeric type and name,
    in the first language each is stored in."""
    with open(path, "rb") as f:
        data = f.read()
    pe = struct.unpack_from("<I", data, 0x3C)[0]
    section_count = struct.unpack_from("<H", data, pe + 6)[0]
    optional = pe + 24
    optional_size = struct.unpack_from("<H", data, pe + 20)[0]
    directories = optional + (96 if struct.unpack_from("<H", data, optional)[0] == 0x10B else 112)
    resource_rva = struct.unpack_from("<I", data, directories + 2 * 8)[0]
    sections = [struct.unpack_from("<IIII", data, optional + optional_size + 40 * i + 8)
                for i in range(section_count)]

    def offset(rva):
        for virtual_size, address, raw_size, raw_offset in sections:
            if address <= rva < address + max(virtual_size, raw_size):
                return rva - address + raw_offset
        raise ValueError("%s: RVA 0x%X lies in no section" % (path, rva))

    if not resource_rva:
        return {}
    root = offset(resource_rva)

    def entries(table):
        """(id or None for a named entry, offset of the subtable or data entry, is a table)."""
        named, numbered = struct.unpack_from("<HH", data, root + table + 12)
        for i in range(named + numbered):
            name, target = struct.unpack_from("<II", data, root + table + 16 + 8 * i)
            yield (None if name & 0x80000000 else name), target & 0x7FFFFFFF, bool(target & 0x80000000)

    found = {}
    for kind, names, _ in entries(0):
        for name, languages, _ in entries(names):
            for _, leaf, is_table in entries(languages):
                if kind is not None and name is not None and not is_table:
                    rva, size = struct.unpack_from("<II", data, root + leaf)
                    found.setdefault((kind, name), data[offset(rva):offset(rva) + size])
    return found


def icon_images(path, group):
    """The images of icon group `group` in a PE file, in the order of its
    directory: dicts with the entry's size (0 read as 256), the image's own
    width and height, its kind ("PNG" or "BMP"), bits per pixel and bytes."""
    found = resources(path)
    directory = found.get((RT_GROUP_ICON, group))
    if directory is None:
        raise ValueError("%s holds no icon group %d" % (path, group))
    images = []
    for i in range(struct.unpack_from("<H", directory, 4)[0]):
        width, height, _, _, _, _, _, icon = struct.unpack_from("<BBBBHHIH", directory, 6 + 14 * i)
        data = found[(RT_ICON, icon)]
        if data.startswith(PNG_SIGNATURE):
            own_width, own_height, depth, colour = struct.unpack_from(">IIBB", data, 16)
            channels = {0: 1, 2: 3, 3: 1, 4: 2, 6: 4}[colour]
            kind, bits = "PNG", depth * channels
        else:
            # A bitmap's height counts its colour and mask halves.
            _, own_width, double_height, _, bits = struct.unpack_from("<IiiHH", data, 0)
            own_height = double_height // 2
            kind = "BMP"
        images.append({"entry": (width or 256, height or 256), "size": (own_width, own_height),
                       "kind": kind, "bits": bits, "bytes": len(data)})
    return images


# The program's file icon and every module's window icon.
ICON_GROUP = 10


def describe_images(images):
    """'16, 20 … BMP 32-bit: N bytes; 256 PNG: M bytes', one part per kind."""
    parts = []
    for kind in ("BMP", "PNG"):
        chosen = [image for image in images if image["kind"] == kind]
        if chosen:
            parts.append("%s %s: %d bytes" % (", ".join(str(image["size"][0]) for image in chosen), kind,
                                              sum(image["bytes"] for image in chosen)))
    return "; ".join(parts)


# What a manifest must name for each machine, in its identity and in the
# common-controls dependency: Windows refuses a 64-bit program that depends on
# the x86 controls.
MANIFEST_ARCH = {0x014C: "x86", 0x8664: "amd64"}

DPI_SETTINGS = (
    ("http://schemas.microsoft.com/SMI/2005/WindowsSettings", "dpiAware", "true"),
    ("http://schemas.microsoft.com/SMI/2016/WindowsSettings", "dpiAwareness", "PerMonitorV2, System"),
)

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
    problems = []
    if len(named) != 2 or any(arch not in (wanted, "*") for arch in named):
        problems.append("%s: the manifest names %s, not %s for the program and its common controls"
                        % (path, named, wanted))
    # DPI awareness, each setting in the namespace of the Windows that reads it:
    # in any other, the setting is not seen and the dialogs are stretched blurred.
    settings = ElementTree.fromstring(manifest).find(
        "{urn:schemas-microsoft-com:asm.v3}application/{urn:schemas-microsoft-com:asm.v3}windowsSettings")
    for namespace, name, value in DPI_SETTINGS:
        found = None if settings is None else settings.find("{%s}%s" % (namespace, name))
        if found is None or (found.text or "").strip() != value:
            problems.append("%s: the manifest does not declare %s %r in %s" % (path, name, value, namespace))
    return problems


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
    images = icon_images(program, ICON_GROUP)
    icons = sum(image["bytes"] for image in images)
    size = os.path.getsize(program)
    # The release set is the 32-bit program's; a 64-bit one here means the
    # wrong folder was measured.
    if pe_machine(program) != 0x014C:
        failures.append("Keldrin.exe in %s is not the 32-bit program (machine 0x%04X)" % (dist, pe_machine(program)))
    print("Keldrin.exe            %7d bytes, %7d without its icon images (%d bytes of images: %s)"
          % (size, size - icons, icons, describe_images(images)))
    if size - icons > PROGRAM_GOAL:
        failures.append("Keldrin.exe without icons is over 100 KB")
    failures += manifest_problems(program)
    for name in MODULES:
        module_size = os.path.getsize(os.path.join(dist, name))
        if pe_machine(os.path.join(dist, name)) != 0x014C:
            failures.append("%s is not a 32-bit module" % name)
        window_icon = icon_images(os.path.join(dist, name), ICON_GROUP)
        print("%-22s %7d bytes, %d of them the window icon's images (%s)"
              % (name, module_size, sum(image["bytes"] for image in window_icon), describe_images(window_icon)))
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
