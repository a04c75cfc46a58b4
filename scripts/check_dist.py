#!/usr/bin/env python3
"""Checks the download: the zip opens, holds what a user needs (the page for
browsers too) under names Explorer shows right, and neither program needs a
DLL beyond Windows' own nor stops at 260-character paths."""
import subprocess
import sys
import zipfile

README_NAME = "はじめにお読みください.txt"
EXPECTED = {"Kartovo.exe", "kartovo-convert.exe", "Kartovo.html", README_NAME}
# A download should stay small; the programs ship stripped.
MAX_PROGRAM_SIZE = 1_536 * 1024
# DLLs every Windows has; anything else would have to ship beside the .exe.
SYSTEM_DLLS = {"kernel32.dll", "user32.dll", "gdi32.dll", "shell32.dll", "comdlg32.dll", "advapi32.dll",
               "ole32.dll", "msvcrt.dll", "comctl32.dll", "uxtheme.dll"}


def imports(exe: str) -> set:
    dump = subprocess.run(["x86_64-w64-mingw32-objdump", "-p", exe], check=True, capture_output=True, text=True)
    return {line.split(":", 1)[1].strip().lower() for line in dump.stdout.splitlines() if "DLL Name:" in line}


def main() -> int:
    zip_path, *exes = sys.argv[1:]
    results = []  # (what was checked, what went wrong or None)
    for exe in exes:
        extra = imports(exe) - SYSTEM_DLLS
        results.append((f"{exe} imports", f"needs {sorted(extra)}" if extra else None))
        with open(exe, "rb") as program:
            manifest = b"<longPathAware" in program.read()
        results.append((f"{exe} manifest", None if manifest else "declares no long-path support"))
    with zipfile.ZipFile(zip_path) as archive:
        bad = archive.testzip()
        results.append(("zip integrity", f"corrupt entry {bad}" if bad else None))
        names = {}
        for info in archive.infolist():
            # zipfile decodes names without the UTF-8 flag as CP437; get the
            # stored bytes back and read them as Explorer on Japanese Windows does.
            stored = info.filename.encode("cp437") if not info.flag_bits & 0x800 else info.filename.encode()
            names[stored.decode("cp932")] = info
        wrong = set(names) != EXPECTED
        results.append(("entry names", f"{sorted(names)}, expected {sorted(EXPECTED)}" if wrong else None))
        for name in sorted(set(names) & {"Kartovo.exe", "kartovo-convert.exe"}):
            size = names[name].file_size
            results.append((f"{name} size", f"{size} bytes: symbols shipped?" if size > MAX_PROGRAM_SIZE else None))
        readme = archive.read(names[README_NAME]) if README_NAME in names else b""
        lone_breaks = "\n" in readme.decode("cp932").replace("\r\n", "") or not readme.endswith(b"\r\n")
        results.append(("read-me in CP932 with CR LF", "not CR LF throughout" if lone_breaks else None))
    failed = [(what, why) for what, why in results if why]
    for what, why in failed:
        print(f"check_dist: {what}: {why}")
    print(f"{len(results) - len(failed)} passed, {len(failed)} failed")
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
