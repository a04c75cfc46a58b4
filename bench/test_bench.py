#!/usr/bin/env python3
"""Checks that the benchmark input really is what the benchmark claims to feed
the converter, and that run.sh reports failures instead of timing them.

Run with: python3 -m unittest discover -s bench -p 'test_*.py'
"""

import io
import os
import re
import shutil
import stat
import subprocess
import sys
import tempfile
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import gen_vcards  # noqa: E402

HERE = os.path.dirname(os.path.abspath(__file__))
KATAKANA = re.compile(r"^[\u30a0-\u30ff]+$")


def generate(count, seed, **kw):
    buf = io.BytesIO()
    gen_vcards.generate(count, seed, buf, **kw)
    return buf.getvalue()


def unfold(data):
    return data.replace(b"\r\n ", b"")


class FoldTest(unittest.TestCase):
    def test_cuts_at_75_octets_even_inside_a_character(self):
        line = "NOTE:" + "あ" * 60  # 185 octets; 75 is not a multiple of 3 after the 5-octet prefix
        out = gen_vcards.fold(line)
        physical = out.split(b"\r\n")
        self.assertEqual(physical[-1], b"")
        self.assertEqual(len(physical[0]), 75)
        self.assertTrue(all(p.startswith(b" ") for p in physical[1:-1]))
        self.assertTrue(all(len(p) <= 75 for p in physical))
        with self.assertRaises(UnicodeDecodeError):
            physical[0].decode("utf-8")
        self.assertEqual(unfold(out), line.encode() + b"\r\n")

    def test_line_of_exactly_75_octets_is_not_folded(self):
        line = "X" * 75
        self.assertEqual(gen_vcards.fold(line), line.encode() + b"\r\n")
        self.assertEqual(gen_vcards.fold(line + "Y").count(b"\r\n"), 2)


class GeneratedFileTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.count = 3000
        cls.raw = generate(cls.count, 5)
        cls.text = unfold(cls.raw).decode("utf-8")  # fails the class if unfolding leaves bad UTF-8

    def test_physical_lines_are_crlf_and_at_most_75_octets(self):
        self.assertTrue(self.raw.endswith(b"\r\n"))
        self.assertEqual(self.raw.count(b"\n"), self.raw.count(b"\r\n"))
        self.assertEqual(self.raw.count(b"\r"), self.raw.count(b"\r\n"))
        longest = max(len(p) for p in self.raw.split(b"\r\n"))
        self.assertLessEqual(longest, 75)

    def test_some_folds_split_multibyte_characters(self):
        splits = sum(1 for p in self.raw.split(b"\r\n")
                     if p.startswith(b" ") and len(p) > 1 and 0x80 <= p[1] <= 0xBF)
        self.assertGreater(splits, self.count // 10)
        # A 4-octet emoji must sometimes be cut too, or readers are only
        # tested on the three-octet case.
        cut_emoji = re.compile(rb"\xf0(?:\x9f[\x80-\xbf]?)?\r\n ")
        self.assertTrue(cut_emoji.search(generate(40000, 2)))

    def test_average_contact_is_about_half_a_kilobyte(self):
        avg = len(generate(20000, 9)) / 20000
        self.assertGreater(avg, 450)
        self.assertLess(avg, 600)

    def test_every_contact_has_the_google_shape(self):
        cards = self.text.split("BEGIN:VCARD\r\n")
        self.assertEqual(cards[0], "")
        self.assertEqual(len(cards) - 1, self.count)
        honorifics = set()
        for card in cards[1:]:
            lines = card.split("\r\n")
            self.assertEqual(lines[0], "VERSION:3.0")
            self.assertEqual(lines[-3:], ["CATEGORIES:myContacts", "END:VCARD", ""])
            props = dict(l.split(":", 1) for l in lines[:-1] if ":" in l)
            self.assertIn("FN", props)
            n = props["N"].split(";")
            self.assertEqual(len(n), 5, props["N"])
            honorifics.add(n[4])
            self.assertRegex(props["X-PHONETIC-LAST-NAME"], KATAKANA)
            if n[1]:
                self.assertRegex(props["X-PHONETIC-FIRST-NAME"], KATAKANA)
                self.assertEqual(props["FN"], f"{n[0]} {n[1]}")
            if "ADR;TYPE=HOME" in props:
                self.assertEqual(len(props["ADR;TYPE=HOME"].split(";")), 7)
            # Related names come in numbered pairs starting at item1.
            items = [l for l in lines if l.startswith("item")]
            for k in range(len(items) // 2):
                self.assertTrue(items[2 * k].startswith(f"item{k + 1}.X-ABRELATEDNAMES:"))
                self.assertRegex(items[2 * k + 1],
                                 rf"^item{k + 1}\.X-ABLabel:_\$!<(Spouse|Child)>!\$_$")
            note = props.get("NOTE", "")
            # Unescaped commas or semicolons would make the bench file invalid
            # vCard text that a strict reader may rightly reject.
            self.assertNotRegex(note, r"(?<!\\)[,;]")
        self.assertTrue({"", "先生", "御中"} <= honorifics)

    def test_features_the_converter_must_handle_are_present(self):
        t = self.text
        self.assertIn("1\u22122", t)
        self.assertRegex(t, r"\n(ADR[^\r]*;[^;]*\\n[^;]*;)")
        self.assertRegex(t, r";〒\d{3}-\d{4};")
        self.assertRegex(t, r";\d{3}-\d{4};")
        self.assertIn("配偶者印刷: true\\n子ども印刷: True", t)
        self.assertIn("_$!<Spouse>!$_", t)
        self.assertIn("_$!<Child>!$_", t)

    @unittest.skipUnless(shutil.which("iconv"), "iconv not installed")
    def test_unfolded_text_is_cp932_except_emoji(self):
        data = unfold(self.raw)
        strict = subprocess.run(["iconv", "-f", "UTF-8", "-t", "UTF-8"], input=data,
                                capture_output=True)
        self.assertEqual(strict.returncode, 0, strict.stderr)
        # Anything besides the deliberate emoji that code page 932 lacks would
        # turn the benchmark into a benchmark of the converter's error path.
        for e in gen_vcards.EMOJI:
            data = data.replace(e.encode(), b"")
        cp = subprocess.run(["iconv", "-f", "UTF-8", "-t", "CP932"], input=data,
                            capture_output=True)
        self.assertEqual(cp.returncode, 0, cp.stderr[:200])


class DeterminismTest(unittest.TestCase):
    def test_same_seed_same_bytes_regardless_of_batching(self):
        a = generate(500, 42)
        self.assertEqual(a, generate(500, 42, batch=7))
        self.assertNotEqual(a, generate(500, 43))

    def test_cli_writes_the_same_file_as_the_library(self):
        with tempfile.TemporaryDirectory() as d:
            path = os.path.join(d, "c.vcf")
            subprocess.run([sys.executable, os.path.join(HERE, "gen_vcards.py"), "250",
                            "--seed", "3", "-o", path], check=True)
            with open(path, "rb") as f:
                self.assertEqual(f.read(), generate(250, 3))


# One line a contact, whichever shape the file has, as the real one writes.
FAKE_CONVERTER = """#!/bin/sh
[ "$1" = --yes ] || exit 3
grep -c '^BEGIN:VCARD' "$2" > "$3"
exit 0
"""


@unittest.skipUnless(shutil.which("iconv") and os.access("/usr/bin/time", os.X_OK),
                     "needs iconv and /usr/bin/time")
class RunScriptTest(unittest.TestCase):
    def setUp(self):
        self.dir = tempfile.mkdtemp()
        self.addCleanup(shutil.rmtree, self.dir)

    def script(self, body):
        path = os.path.join(self.dir, "conv.sh")
        with open(path, "w") as f:
            f.write(body)
        os.chmod(path, stat.S_IRWXU)
        return path

    def run_bench(self, conv, *sizes):
        return subprocess.run(["bash", os.path.join(HERE, "run.sh"), "-c", conv, "-w", "", "-b", "", "-r", "2",
                               "-o", os.path.join(self.dir, "out"), *sizes],
                              capture_output=True, text=True, stdin=subprocess.DEVNULL)

    def test_reports_a_row_per_size_and_reuses_generated_files(self):
        conv = self.script(FAKE_CONVERTER)
        r = self.run_bench(conv, "100", "1000")
        self.assertEqual(r.returncode, 0, r.stderr)
        rows = [l for l in r.stdout.splitlines() if re.match(r"^\| \d+ \|", l)]
        self.assertEqual([row.split("|")[1].strip() for row in rows], ["100", "1000"])
        self.assertEqual(len(rows[1].split("|")), len(rows[0].split("|")))
        self.assertIn("time(1000)/time(100) = ", r.stdout)
        again = self.run_bench(conv, "1000")
        self.assertEqual(again.returncode, 0, again.stderr)
        self.assertNotIn("generating", again.stderr)

    def test_converter_failure_fails_the_run(self):
        for body in ("#!/bin/sh\necho boom >&2\nexit 4\n",
                     "#!/bin/sh\nexit 0\n",  # exits 0 but writes nothing
                     "#!/bin/sh\nwc -c < \"$2\" > \"$3\"\n"):  # rows differ by the file's shape
            r = self.run_bench(self.script(body), "50")
            self.assertNotEqual(r.returncode, 0, body)
            self.assertNotIn("| 50 |", r.stdout)


if __name__ == "__main__":
    unittest.main()
