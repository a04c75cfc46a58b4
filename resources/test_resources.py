"""Checks the files that Kartovo.rc builds into the program.

    python3 -m unittest discover -s resources -p 'test_*.py'
"""

import ast
import os
import re
import struct
import unittest
import xml.etree.ElementTree as ET

import draw_resources

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.dirname(HERE)


def read(name):
    with open(os.path.join(HERE, name), "rb") as f:
        return f.read()


class DrawnFilesTest(unittest.TestCase):
    def test_committed_pictures_match_the_script(self):
        # The build takes the committed files; a script edit without a rerun
        # would otherwise ship the old pictures unnoticed.
        self.assertEqual(read("Kartovo.ico"), draw_resources.build_ico([32, 256]))
        self.assertEqual(read("bbclose.bmp"), draw_resources.build_bbclose())


class IconTest(unittest.TestCase):
    def setUp(self):
        self.data = read("Kartovo.ico")

    def entries(self):
        reserved, kind, count = struct.unpack_from("<HHH", self.data, 0)
        self.assertEqual((reserved, kind), (0, 1))
        return [struct.unpack_from("<BBBBHHII", self.data, 6 + 16 * i)
                for i in range(count)]

    def pixels(self, offset, size):
        """Top-down rows of (r, g, b) of a 24-bit entry."""
        base = offset + 40
        stride = (size * 3 + 3) // 4 * 4
        rows = []
        for y in range(size - 1, -1, -1):
            line = self.data[base + y * stride:base + y * stride + size * 3]
            rows.append([(line[i + 2], line[i + 1], line[i])
                         for i in range(0, size * 3, 3)])
        return rows

    def test_two_24_bit_images_of_32_and_256(self):
        entries = self.entries()
        self.assertEqual([(w or 256, h or 256) for w, h, *_ in entries],
                         [(32, 32), (256, 256)])
        for w, h, colours, _, planes, bits, length, offset in entries:
            size = w or 256
            with self.subTest(size=size):
                self.assertEqual((colours, planes, bits), (0, 1, 24))
                hdr = struct.unpack_from("<IiiHHI", self.data, offset)
                # An icon DIB counts the AND mask in its height.
                self.assertEqual(hdr, (40, size, 2 * size, 1, 24, 0))
                mask_stride = (size + 31) // 32 * 4
                self.assertEqual(length, 40 + size * size * 3 + size * mask_stride)
                self.assertLessEqual(offset + length, len(self.data))

    def test_picture_reads_on_white(self):
        for w, *_, offset in self.entries():
            size = w or 256
            rows = self.pixels(offset, size)
            with self.subTest(size=size):
                for x, y in ((0, 0), (size - 1, 0), (0, size - 1),
                             (size - 1, size - 1), (size // 2, 0)):
                    self.assertNotEqual(rows[y][x], (255, 255, 255))
                top = [p for row in rows[:size // 3] for p in row]
                bottom = [p for row in rows[-size // 3:] for p in row]
                self.assertTrue(any(b > 150 and b > r + 100 for r, g, b in top),
                                "no blue lettering at the top")
                self.assertTrue(any(g > 100 and g > r + 80 and g > b + 40
                                    for r, g, b in bottom),
                                "no green lettering at the bottom")


class CloseGlyphTest(unittest.TestCase):
    OLIVE = (128, 128, 0)
    GREYS = {(0, 0, 0), (128, 128, 128), (192, 192, 192), (255, 255, 255)}

    def setUp(self):
        data = read("bbclose.bmp")
        self.assertEqual(data[:2], b"BM")
        offset, = struct.unpack_from("<I", data, 10)
        (self.header_size, self.width, self.height, _, self.bits,
         self.compression) = struct.unpack_from("<IiiHHI", data, 14)
        used, = struct.unpack_from("<I", data, 46)
        entries = used or 16
        pal = data[14 + self.header_size:14 + self.header_size + 4 * entries]
        self.palette = [(pal[i + 2], pal[i + 1], pal[i])
                        for i in range(0, len(pal), 4)]
        stride = (self.width * 4 + 31) // 32 * 4
        self.rows = []  # top-down colour rows
        for y in range(self.height - 1, -1, -1):
            line = data[offset + y * stride:offset + (y + 1) * stride]
            idx = [(line[x // 2] >> (0 if x % 2 else 4)) & 15
                   for x in range(self.width)]
            self.rows.append([self.palette[i] for i in idx])

    def test_format(self):
        self.assertEqual((self.header_size, self.width, self.height, self.bits,
                          self.compression), (40, 36, 18, 4, 0))
        self.assertEqual(len(self.palette), 16)

    def test_bottom_left_is_the_olive_transparent_colour(self):
        self.assertEqual(self.rows[-1][0], self.OLIVE)

    def test_normal_glyph_has_colour_and_disabled_glyph_only_greys(self):
        normal = {p for row in self.rows for p in row[:18]} - {self.OLIVE}
        greyed = {p for row in self.rows for p in row[18:]} - {self.OLIVE}
        self.assertTrue(normal - self.GREYS, "the normal glyph has no colour")
        self.assertTrue(greyed, "the disabled glyph is empty")
        self.assertLessEqual(greyed, self.GREYS)


def c_string_bytes(literal_run):
    """The bytes of adjacent C narrow string literals, escapes undone."""
    out = b""
    for piece in re.findall(r'"((?:[^"\\]|\\.)*)"', literal_run):
        out += ast.literal_eval('b"' + piece + '"')
    return out


def cp932_constant(name):
    with open(os.path.join(ROOT, "conversion", "Texts.h"), encoding="utf-8") as f:
        src = f.read()
    m = re.search(r"\b%s\s*=\s*((?:\"(?:[^\"\\]|\\.)*\"\s*)+);" % name, src)
    if m is None:
        raise AssertionError(name + " not found in conversion/Texts.h")
    return c_string_bytes(m.group(1)).decode("cp932")


class UsageTextTest(unittest.TestCase):
    HEAD = r"【[１２３４]】\S"
    NOTE = r"　※\S"
    MORE = r"　　[^　※]"
    STEP = r"　\([123]\) \S"

    # Line number: the form its start must take.
    FORMS = {
        1: r"★説明★$",
        2: HEAD, 3: NOTE, 4: NOTE, 5: MORE, 6: NOTE, 7: MORE, 8: MORE,
        9: NOTE, 10: NOTE,
        11: HEAD, 12: r"　[^　※]",
        13: HEAD, 14: STEP, 15: STEP, 16: MORE, 17: STEP,
        18: HEAD, 19: NOTE, 20: NOTE, 21: NOTE, 22: NOTE,
    }

    def setUp(self):
        self.raw = read("usage.txt")
        self.lines = self.raw.decode("utf-8").split("\r\n")

    def test_utf8_without_bom_and_crlf_only(self):
        self.assertFalse(self.raw.startswith(b"\xef\xbb\xbf"))
        self.assertNotIn(b"\n", self.raw.replace(b"\r\n", b""))
        self.assertNotIn(b"\r", self.raw.replace(b"\r\n", b""))
        self.assertTrue(self.raw.endswith(b"\r\n"))

    def test_each_line_in_cp932(self):
        for n, line in enumerate(self.lines, 1):
            with self.subTest(line=n):
                line.encode("cp932")

    def test_line_forms(self):
        self.assertEqual(self.lines[-1], "")  # after the last CRLF
        self.assertEqual(len(self.lines) - 1, len(self.FORMS))
        for n, form in self.FORMS.items():
            with self.subTest(line=n):
                self.assertRegex(self.lines[n - 1], "^" + form)
        heads = [line[:3] for line in self.lines if re.match(self.HEAD, line)]
        self.assertEqual(heads, ["【１】", "【２】", "【３】", "【４】"])
        steps = [line[:4] for line in self.lines if re.match(self.STEP, line)]
        self.assertEqual(steps, ["　(1)", "　(2)", "　(3)"])

    def test_names_the_texts_the_converter_looks_for(self):
        # What the user is told to type must be what the conversion matches.
        # (line, constant, its ending that the user does not type, value)
        cases = [
            (3, "kDefaultHonorific", "", None),
            (9, "kSpouseMarker", ":", "true"),
            (10, "kChildrenMarker", ":", "true"),
        ]
        for n, constant, suffix, value in cases:
            with self.subTest(constant=constant):
                word = cp932_constant(constant)
                self.assertTrue(word.endswith(suffix))
                word = word[:len(word) - len(suffix)]
                self.assertIn("「%s」" % word, self.lines[n - 1])
                if value is not None:
                    self.assertIn("「%s」" % value, self.lines[n - 1])


class ManifestTest(unittest.TestCase):
    def test_system_dpi_aware_and_no_common_controls_6(self):
        raw = read("Kartovo.manifest")
        root = ET.fromstring(raw)
        asm3 = "{urn:schemas-microsoft-com:asm.v3}"
        ws = "{http://schemas.microsoft.com/SMI/2005/WindowsSettings}"
        found = root.findall(
            f"{asm3}application/{asm3}windowsSettings/{ws}dpiAware")
        self.assertEqual([e.text.strip() for e in found], ["true"])
        # Version 6 of the common controls would give up the classic look.
        self.assertNotIn(b"Common-Controls", raw)

    def test_both_programs_take_long_paths(self):
        asm3 = "{urn:schemas-microsoft-com:asm.v3}"
        ws = "{http://schemas.microsoft.com/SMI/2016/WindowsSettings}"
        for name in ("Kartovo.manifest", "kartovo-convert.manifest"):
            root = ET.fromstring(read(name))
            found = root.findall(
                f"{asm3}application/{asm3}windowsSettings/{ws}longPathAware")
            self.assertEqual([e.text.strip() for e in found], ["true"], name)


if __name__ == "__main__":
    unittest.main()
