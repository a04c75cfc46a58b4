#!/usr/bin/env python3
"""Packs the download: the two programs and the Japanese read-me, in a zip.

Windows Explorer reads zip entry names in the system's OEM code page unless
the entry is flagged as UTF-8, and older versions ignore that flag, so the
Japanese read-me's name is stored in CP932 (what Japanese Windows uses),
with an Info-ZIP Unicode Path field carrying the UTF-8 name for tools that
prefer it. The read-me itself becomes CP932 with CR LF line ends.

Nothing of the build's time or place goes in: every entry has the same fixed
date and attributes, so the same commit gives the same zip byte for byte,
and the SHA-256 printed here lets anyone check a download against a build
of that commit.
"""
import argparse
import hashlib
import struct
import zipfile
import zlib
from pathlib import Path

README_NAME = "はじめにお読みください.txt"


class Cp932ZipInfo(zipfile.ZipInfo):
    def _encodeFilenameFlags(self):
        try:
            return self.filename.encode("ascii"), self.flag_bits
        except UnicodeEncodeError:
            return self.filename.encode("cp932"), self.flag_bits & ~0x800


def unicode_path_field(name: str) -> bytes:
    stored = name.encode("cp932")
    utf8 = name.encode("utf-8")
    body = struct.pack("<BI", 1, zlib.crc32(stored)) + utf8
    return struct.pack("<HH", 0x7075, len(body)) + body


def add(archive: zipfile.ZipFile, name: str, data: bytes) -> None:
    info = Cp932ZipInfo(name, date_time=(2026, 1, 1, 0, 0, 0))
    info.compress_type = zipfile.ZIP_DEFLATED
    info.create_system = 3  # Unix, on whatever system packs it
    info.external_attr = 0o644 << 16
    if not name.isascii():
        info.extra = unicode_path_field(name)
    archive.writestr(info, data)


def readme_bytes(source: Path) -> bytes:
    text = source.read_text(encoding="utf-8").replace("\r\n", "\n")
    return text.replace("\n", "\r\n").encode("cp932")


def main() -> None:
    parser = argparse.ArgumentParser(description=__doc__)
    parser.add_argument("--out", required=True, type=Path)
    parser.add_argument("--readme", required=True, type=Path)
    parser.add_argument("programs", nargs="+", type=Path)
    args = parser.parse_args()

    partial = args.out.with_suffix(".partial")
    with zipfile.ZipFile(partial, "w") as archive:
        for program in args.programs:
            add(archive, program.name, program.read_bytes())
        add(archive, README_NAME, readme_bytes(args.readme))
    partial.replace(args.out)
    # In the form sha256sum -c reads.
    print(f"{hashlib.sha256(args.out.read_bytes()).hexdigest()}  {args.out.name}")


if __name__ == "__main__":
    main()
