#!/usr/bin/env python3
"""Checks a Windows package (ZIP) before it is handed out:

    check-package.py ZIP win32|win64

It must hold vorlant.exe, vorlantctl.exe and FIRST-USE.txt in one top
folder; both programs must be Windows executables of the flavour's machine
(PE32 i386, or PE32+ x86-64), vorlant.exe under 1 MiB. Prints one line of
what it found; exit 1 with the reason otherwise."""
import struct
import sys
import zipfile

MACHINES = {"win32": (0x014C, 0x10B, "PE32 i386"), "win64": (0x8664, 0x20B, "PE32+ x86-64")}
LIMIT = 1 << 20


def pe_kind(data):
    """(machine, optional-header magic) of a PE image, or None."""
    if len(data) < 0x40 or data[:2] != b"MZ":
        return None
    pe = struct.unpack_from("<I", data, 0x3C)[0]
    if pe + 26 > len(data) or data[pe:pe + 4] != b"PE\0\0":
        return None
    machine = struct.unpack_from("<H", data, pe + 4)[0]
    magic = struct.unpack_from("<H", data, pe + 24)[0]
    return machine, magic


def main():
    if len(sys.argv) != 3 or sys.argv[2] not in MACHINES:
        sys.exit("usage: check-package.py ZIP win32|win64")
    path, flavour = sys.argv[1], sys.argv[2]
    machine, magic, kind = MACHINES[flavour]
    try:
        archive = zipfile.ZipFile(path)
    except (OSError, zipfile.BadZipFile) as error:
        sys.exit(f"{path}: not a readable ZIP ({error})")
    with archive:
        names = {n.split("/", 1)[-1]: n for n in archive.namelist() if not n.endswith("/")}
        missing = [n for n in ("vorlant.exe", "vorlantctl.exe", "FIRST-USE.txt") if n not in names]
        if missing:
            sys.exit(f"{path}: missing {', '.join(missing)}")
        sizes = {}
        for exe in ("vorlant.exe", "vorlantctl.exe"):
            data = archive.read(names[exe])
            if pe_kind(data) != (machine, magic):
                sys.exit(f"{path}: {exe} is not a {kind} executable")
            sizes[exe] = len(data)
    if sizes["vorlant.exe"] >= LIMIT:
        sys.exit(f"{path}: vorlant.exe is {sizes['vorlant.exe']} bytes, not under 1 MiB")
    print(f"{path.rsplit('/', 1)[-1]}: {kind} vorlant.exe {sizes['vorlant.exe']} bytes, "
          f"vorlantctl.exe {sizes['vorlantctl.exe']} bytes, FIRST-USE.txt")


main()
