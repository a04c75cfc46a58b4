#!/usr/bin/env python3
"""Checks that the stress inputs are what stress.sh says they are, and that
stress.sh flags a converter that fails, crashes, lies, slows down or swells.

Run with: python3 -m unittest discover -s bench -p 'test_*.py'
"""

import os
import re
import shutil
import stat
import subprocess
import sys
import tempfile
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import gen_stress  # noqa: E402

HERE = os.path.dirname(os.path.abspath(__file__))


def generate(case, size):
    path = os.path.join(tempfile.mkdtemp(), "in.vcf")
    try:
        with open(path, "wb") as out:
            contacts = gen_stress.CASES[case][0](out, size)
        with open(path, "rb") as f:
            return f.read(), contacts
    finally:
        shutil.rmtree(os.path.dirname(path))


def physical_lines(data):
    return data.replace(b"\r\n", b"\n").replace(b"\r", b"\n").split(b"\n")


class GeneratorTest(unittest.TestCase):
    # The time ratio is only meaningful if a tenth of SIZE is a tenth of the
    # input, so each case must honour its SIZE exactly.
    def test_size_is_what_the_case_counts(self):
        size = 3000
        cases = [
            # case, what the SIZE must equal in the file
            ("long-line", lambda d: len(d)),
            ("long-field", lambda d: len(d)),
            ("random", lambda d: len(d)),
            ("random-no-zero", lambda d: len(d)),
            ("cr-only", lambda d: len(d)),
            ("fold-lone", lambda d: len(d)),
            ("open-card", lambda d: len(physical_lines(d)) - 1),  # the last break ends no line
            ("empty-lines", lambda d: d.count(b"\r\n")),
            ("tiny-contacts", lambda d: d.count(b"END:VCARD")),
            ("cr-contacts", lambda d: d.count(b"END:VCARD")),
            ("fold-chain", lambda d: sum(1 for l in physical_lines(d) if l.startswith(b" "))),
            ("fold-blank", lambda d: d.count(b"\r\n ")),
            ("fold-mixed", lambda d: sum(1 for l in physical_lines(d) if l[:1] in (b" ", b"\t"))),
            ("falling-labels", lambda d: d.count(b".X-AB")),
            ("other-labels", lambda d: d.count(b"<Other>")),
            ("qp-value", lambda d: len(re.findall(rb"=[0-9A-F]{2}", d))),
            ("qp-breaks", lambda d: d.count(b"=\r\n")),
            ("many-addresses", lambda d: d.count(b".ADR;")),
            ("many-relations", lambda d: d.count(b".X-AB")),
        ]
        self.assertEqual({c for c, _ in cases} | {"quotes"}, set(gen_stress.CASES))
        for case, measure in cases:
            with self.subTest(case=case):
                data, _ = generate(case, size)
                self.assertEqual(measure(data), size)

    def test_announced_count_is_the_number_of_complete_contacts(self):
        for case in gen_stress.CASES:
            with self.subTest(case=case):
                data, contacts = generate(case, 5000)
                if contacts is None:
                    continue
                ends = sum(1 for l in physical_lines(data) if l == b"END:VCARD")
                self.assertEqual(contacts, ends)

    def test_one_line_cases_have_no_break_and_no_zero(self):
        for case in ("long-line", "fold-lone"):
            with self.subTest(case=case):
                data, _ = generate(case, 100000)
                self.assertNotIn(b"\r", data)
                self.assertNotIn(b"\n", data)
                self.assertNotIn(b"\0", data)
        data, _ = generate("fold-lone", 100)
        self.assertEqual(data[:1], b" ")

    def test_random_bytes_are_fixed_and_zero_free_when_asked(self):
        first, _ = generate("random-no-zero", 200000)
        again, _ = generate("random-no-zero", 200000)
        self.assertEqual(first, again)
        self.assertNotIn(b"\0", first)
        self.assertGreater(len(set(first)), 250)
        raw, _ = generate("random", 200000)
        self.assertIn(b"\0", raw)

    def test_quote_values_hold_only_quotes_and_semicolons(self):
        data, contacts = generate("quotes", 200000)
        self.assertLessEqual(len(data), 200000)
        self.assertGreater(contacts, 100)
        values = [l.split(b":", 1)[1] for l in physical_lines(data) if l.startswith((b"N:", b"ADR;TYPE=HOME:"))]
        self.assertEqual(len(values), 2 * contacts)
        self.assertEqual(set(b"".join(values)), set(b'";'))


FAKE = r'''#!PYTHON
import os, sys
src, dst = [a for a in sys.argv[1:] if a != "--yes"]
size = os.path.getsize(src)
# The empty file measures start-up: faults show on real input only.
mode = os.environ["FAKE_MODE"] if size else "linear"
if mode == "crash":
    os.kill(os.getpid(), 11)
if mode == "fail":
    sys.stderr.write("cannot\n")
    sys.exit(1)
# Work in plain loops, so that it is user time: some that grows with the
# input, and for "quadratic" much more that grows with its square.
work = size * 100 + (size * size // 4 if mode == "quadratic" else 0)
for _ in range(work):
    pass
hoard = b"x" * (size * 100) if mode == "memory" else b""
header = '"フリガナ","氏名","敬称","郵便番号","住所1","住所2","連名1","連名2","連名3","連名4"\r\n'
with open(dst, "wb") as f:
    f.write(b"nope\r\n" if mode == "bad-header" else header.encode("cp932"))
print("7件の連絡先を変換しました" if mode == "wrong-count" else "0件の連絡先を変換しました")
'''


@unittest.skipUnless(os.access("/usr/bin/time", os.X_OK), "needs /usr/bin/time")
class StressScriptTest(unittest.TestCase):
    def setUp(self):
        self.dir = tempfile.mkdtemp()
        self.addCleanup(shutil.rmtree, self.dir)
        self.fake = os.path.join(self.dir, "fake.py")
        with open(self.fake, "w") as f:
            f.write(FAKE.replace("PYTHON", sys.executable, 1))
        os.chmod(self.fake, stat.S_IRWXU)

    def stress(self, mode, divisor):
        # empty-lines: the right CSV is the header alone and the count is 0.
        return subprocess.run(["bash", os.path.join(HERE, "stress.sh"), "-c", self.fake, "-d", str(divisor),
                               "-r", "1", "-o", os.path.join(self.dir, "out"), "empty-lines"],
                              capture_output=True, text=True, stdin=subprocess.DEVNULL,
                              env={**os.environ, "FAKE_MODE": mode})

    def row(self, result):
        rows = [l for l in result.stdout.splitlines() if l.startswith("| empty-lines |")]
        self.assertEqual(len(rows), 1, result.stdout + result.stderr)
        return rows[0]

    def test_a_good_linear_run_passes(self):
        r = self.stress("linear", 1000)  # 20,000 bytes, and a tenth of it
        self.assertEqual(r.returncode, 0, r.stdout + r.stderr)
        self.assertTrue(self.row(r).endswith("| 0 | ok |"), self.row(r))

    def test_every_kind_of_fault_fails_the_run_and_names_itself(self):
        for mode, divisor, words in [
            ("fail", 10000, "exit status 1"),
            ("crash", 10000, "crashed (signal 11)"),
            ("bad-header", 10000, "does not start with the header"),
            ("wrong-count", 10000, "reported 7 contacts, expected 0"),
            ("quadratic", 1000, "superlinear"),
            ("memory", 100, "the file"),
        ]:
            with self.subTest(mode=mode):
                r = self.stress(mode, divisor)
                self.assertEqual(r.returncode, 1, r.stdout + r.stderr)
                self.assertIn(words, self.row(r))


if __name__ == "__main__":
    unittest.main()
