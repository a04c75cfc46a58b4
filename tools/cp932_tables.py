#!/usr/bin/env python3
"""Regenerates the CP932 tables from how Windows itself converts.

usage: tools/cp932_tables.py [--sweep LISTING] [--prefix WINEPREFIX]

Builds tools/cp932-sweep.c with MinGW-w64, runs it under Wine through
cmake/wine-run.sh (prefix: build/windows/wineprefix unless given; it is
created on first use) and writes from its listing:

  text/Cp932Tables.h    the two-level tables the encoder and decoder use;
  tests/data/cp932.txt  the same facts in another form, which the sweep
                        tests read on builds without WideCharToMultiByte.

--sweep reads a listing saved earlier instead of running the tool. The
listing is checked first: a sweep that is incomplete, or that breaks what
the tables take for granted, writes nothing.
"""

import argparse
import collections
import os
import subprocess
import sys
import tempfile

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
QUESTION_MARK = 0x3F


def fail(message):
    sys.exit("cp932_tables.py: " + message)


def run_sweep(prefix):
    with tempfile.TemporaryDirectory() as tmp:
        exe = os.path.join(tmp, "cp932-sweep.exe")
        subprocess.run(["x86_64-w64-mingw32-gcc-posix", "-std=c11", "-Wall", "-Wextra", "-O2", "-static",
                        os.path.join(ROOT, "tools", "cp932-sweep.c"), "-o", exe], check=True)
        result = subprocess.run([os.path.join(ROOT, "cmake", "wine-run.sh"), "--default-prefix=" + prefix, exe],
                                stdout=subprocess.PIPE, stdin=subprocess.DEVNULL, check=True)
        return result.stdout.decode("ascii")


def parse(listing):
    """unit -> code or None, and byte string (as int tuple) -> tuple of units."""
    encode, decode = {}, {}
    for number, line in enumerate(listing.splitlines(), 1):
        fields = line.split()
        if len(fields) < 3 or fields[0] not in ("E", "D") or "error" in fields:
            fail(f"line {number} of the listing: {line!r}")
        if fields[0] == "E":
            encode[int(fields[1], 16)] = None if fields[2] == "?" else int(fields[2], 16)
        else:
            key = tuple(bytes.fromhex(fields[1]))
            decode[key] = tuple(int(f, 16) for f in fields[2:])
    return encode, decode


def check(encode, decode):
    units = [u for u in range(0x10000) if not 0xD800 <= u <= 0xDFFF]
    if sorted(encode) != units:
        fail("the listing does not hold every BMP unit outside the surrogates exactly once")
    single = {}
    for byte in range(256):
        got = decode.get((byte,))
        if got is None or len(got) != 1:
            fail(f"byte {byte:02X} does not decode to one unit")
        single[byte] = got[0]
    leads = sorted({key[0] for key in decode if len(key) == 2})
    for lead in leads:
        for trail in range(256):
            got = decode.get((lead, trail))
            if got is None:
                fail(f"pair {lead:02X}{trail:02X} is missing")
            # The decoder marks "these two bytes are not one character" with
            # a zero cell, so a real pair must never give U+0000.
            if len(got) == 1 and got[0] == 0:
                fail(f"pair {lead:02X}{trail:02X} decodes to U+0000")
            if len(got) != 1 and got != (single[lead], single[trail]):
                fail(f"pair {lead:02X}{trail:02X} gives {got}, neither one unit nor its two bytes apart")
    for got in decode.values():
        if any(0xD800 <= u <= 0xDFFF for u in got):
            fail("a code decodes to a surrogate, which UTF-8 output cannot take one unit at a time")
    # WC_NO_BEST_FIT_CHARS promises this; the README and the tests rely on it.
    for unit, code in encode.items():
        if code is None:
            continue
        key = (code,) if code < 0x100 else (code >> 8, code & 0xFF)
        if decode.get(key) != (unit,):
            fail(f"U+{unit:04X} encodes to {code:X}, which does not decode back to it")
        if code >= 0x100 and key[0] not in leads:
            fail(f"U+{unit:04X} encodes to {code:X}, whose first byte is no lead byte")
    return single, leads


def dedupe(blocks):
    """The distinct blocks in order of first use, and each block's index."""
    distinct, index, where = [], [], {}
    for block in blocks:
        block = tuple(block)
        if block not in where:
            where[block] = len(distinct)
            distinct.append(block)
        index.append(where[block])
    return distinct, index


def c_array(values, width, per_line, indent):
    lines = []
    for start in range(0, len(values), per_line):
        chunk = values[start:start + per_line]
        lines.append(indent + ",".join(f"0x{v:0{width}X}" for v in chunk) + ",")
    return "\n".join(lines)


def write_header(encode, decode, single, leads):
    cells = [QUESTION_MARK if 0xD800 <= u <= 0xDFFF or encode[u] is None else encode[u] for u in range(0x10000)]
    pages, page_of = dedupe(cells[high << 8:(high + 1) << 8] for high in range(256))
    users = collections.defaultdict(list)
    for high, page in enumerate(page_of):
        users[page].append(high)

    # Row 0, all zero, is every byte that leads no pair.
    rows = [[0] * 256]
    for lead in leads:
        rows.append([got[0] if len(got) == 1 else 0 for got in (decode[(lead, t)] for t in range(256))])
    rows, row_of_lead = dedupe(rows)
    row_of = [0] * 256
    for lead, row in zip(leads, row_of_lead[1:]):
        row_of[lead] = row
    if len(pages) > 256 or len(rows) > 256:
        fail("too many distinct blocks for one-byte indexes")

    def page_comment(page):
        highs = users[page]
        if all(c == QUESTION_MARK for c in pages[page]):
            return f"// the {len(highs)} pages without a CP932 character"
        return "// " + ", ".join(f"U+{h:02X}xx" for h in highs)

    out = [
        "// Generated by tools/cp932_tables.py from what tools/cp932-sweep.c printed",
        "// under Wine: regenerate, do not edit.",
        "#pragma once",
        "",
        "#include <cstdint>",
        "",
        "namespace kartovo::cp932 {",
        "",
        "// WideCharToMultiByte(932, WC_NO_BEST_FIT_CHARS) of the UTF-16 unit u is",
        "// kEncodeCells[kEncodePage[u >> 8]][u & 0xFF]: one byte below 0x100, else",
        "// lead byte << 8 | trail byte. 0x3F (\"?\") wherever Windows used its default",
        "// character, and for the surrogates, which the sweep leaves out.",
        f"inline constexpr int kEncodePageCount = {len(pages)};",
        "inline constexpr std::uint8_t kEncodePage[256] = {",
        c_array(page_of, 2, 16, "    "),
        "};",
        "inline constexpr std::uint16_t kEncodeCells[kEncodePageCount][256] = {",
    ]
    for number, page in enumerate(pages):
        out += [f"    {page_comment(number)}", "    {", c_array(page, 4, 16, "        "), "    },"]
    out += [
        "};",
        "",
        "// MultiByteToWideChar(932, 0), one character at a time. A byte and the one",
        "// after it give kDecodePairs[kDecodeRow[first]][second] when that is not 0;",
        "// otherwise (the first byte leads no pair, or the second is a NUL) the first",
        "// byte alone gives kDecodeSingle[first], as does a byte at the end.",
        "inline constexpr char16_t kDecodeSingle[256] = {",
        c_array([single[b] for b in range(256)], 4, 16, "    "),
        "};",
        f"inline constexpr int kDecodeRowCount = {len(rows)};",
        "inline constexpr std::uint8_t kDecodeRow[256] = {",
        c_array(row_of, 2, 16, "    "),
        "};",
        "inline constexpr char16_t kDecodePairs[kDecodeRowCount][256] = {",
    ]
    for number, row in enumerate(rows):
        firsts = [f"{lead:02X}" for lead, r in zip(leads, row_of_lead[1:]) if r == number]
        comment = "no pair" if number == 0 else "lead byte " + ", ".join(firsts)
        out += [f"    // {comment}", "    {", c_array(row, 4, 16, "        "), "    },"]
    out += ["};", "", "}  // namespace kartovo::cp932", ""]
    return "\n".join(out), len(pages), len(rows)


def write_reference(encode, decode, single, leads):
    # The unit of a pair Windows cannot read: the commonest pair result.
    default = collections.Counter(
        got[0] for key, got in decode.items() if len(key) == 2 and len(got) == 1).most_common(1)[0][0]

    entries = [((b,), (single[b],)) for b in range(256)]
    for lead in leads:
        for trail in range(256):
            got = decode[(lead, trail)]
            if got == (default,) and encode[default] != (lead << 8 | trail):
                continue
            entries.append(((lead, trail), got))

    def token(key, got):
        code = key[0] if len(key) == 1 else key[0] << 8 | key[1]
        text = "+".join(f"{u:04X}" for u in got)
        return text if len(got) == 1 and encode[got[0]] == code else text + "*"

    out = [
        "# How Windows converts code page 932, for the sweep tests of builds without",
        "# its converter. Written by tools/cp932_tables.py from the same sweep as",
        "# text/Cp932Tables.h: regenerate, do not edit.",
        "#",
        "# \"CODE UNIT UNIT ...\": MultiByteToWideChar(932, 0) turns the byte (two hex",
        "# digits) or lead and trail byte (four) CODE into the first UNIT, and the codes",
        "# after it, in order, into the next ones. \"+\" joins the units of a pair that",
        "# is read as its two bytes apart. WideCharToMultiByte(932, WC_NO_BEST_FIT_CHARS)",
        "# turns each UNIT back into its code unless it is marked \"*\"; a unit never",
        "# listed unmarked becomes \"?\". A lead byte's pair listed nowhere gives the",
        "# unit on the \"default\" line.",
        f"default {default:04X}",
    ]
    line, previous = [], None
    for key, got in entries:
        code = key[0] if len(key) == 1 else key[0] << 8 | key[1]
        follows = previous is not None and len(key) == previous[0] and code == previous[1] + 1 and code % 16 != 0
        if not follows:
            if line:
                out.append(" ".join(line))
            line = [f"{code:0{2 * len(key)}X}"]
        line.append(token(key, got))
        previous = (len(key), code)
    out.append(" ".join(line))
    return "\n".join(out) + "\n"


def write(path, text):
    with open(os.path.join(ROOT, path), "w", encoding="ascii", newline="\n") as f:
        f.write(text)


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("--sweep", help="a listing printed by cp932-sweep.exe, instead of running it")
    parser.add_argument("--prefix", default=os.path.join(ROOT, "build", "windows", "wineprefix"),
                        help="the Wine prefix to run the sweep in")
    args = parser.parse_args()
    if args.sweep:
        with open(args.sweep, encoding="ascii") as f:
            listing = f.read()
    else:
        listing = run_sweep(args.prefix)
    encode, decode = parse(listing)
    single, leads = check(encode, decode)
    header, page_count, row_count = write_header(encode, decode, single, leads)
    write("text/Cp932Tables.h", header)
    write("tests/data/cp932.txt", write_reference(encode, decode, single, leads))
    table_bytes = 256 + page_count * 512 + 512 + 256 + row_count * 512
    print(f"{sum(c is not None for c in encode.values())} units encode, {len(leads)} lead bytes; "
          f"{page_count} encode pages, {row_count} decode rows, {table_bytes} bytes of tables")


if __name__ == "__main__":
    main()
