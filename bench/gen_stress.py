#!/usr/bin/env python3
"""Writes one adversarial input for bench/stress.sh.

usage: gen_stress.py CASE SIZE -o FILE

SIZE is the case's own measure (bytes, lines or contacts; see CASES). The
file is streamed out in blocks, so even the largest sizes need little memory.
Prints the number of contacts the converter must report, or "any" where the
input does not fix it.
"""

import argparse
import random
import sys

BLOCK = 1 << 20
SEED = 1

# Text as a real export carries it: kanji, kana, ASCII and a few separators.
JAPANESE = "山田太郎やまだたろうヤマダ東京都千代田区丸の内1-2-3 ".encode("utf-8")

# Lines of one contact, cycled so the card looks like a real one.
CARD_LINES = [
    b"N:\xe5\xb1\xb1\xe7\x94\xb0;\xe5\xa4\xaa\xe9\x83\x8e;;;",
    b"TEL;TYPE=CELL:090-1234-5678",
    b"EMAIL;TYPE=INTERNET:taro.yamada@example.com",
    b"ADR;TYPE=HOME:;;\xe4\xb8\xb8\xe3\x81\xae\xe5\x86\x85;\xe5\x8d\x83\xe4\xbb\xa3\xe7\x94\xb0\xe5\x8c\xba;\xe6\x9d\xb1\xe4\xba\xac\xe9\x83\xbd;100-0005;",
    b"item1.X-ABLabel:_$!<Child>!$_",
    b"NOTE:\xe9\x85\x8d\xe5\x81\xb6\xe8\x80\x85\xe5\x8d\xb0\xe5\x88\xb7:true",
]


def repeat_to(out, unit, total):
    """Writes `unit` over and over, cut at exactly `total` bytes."""
    block = unit * max(1, BLOCK // len(unit))
    left = total
    while left > 0:
        piece = block[:left]
        out.write(piece)
        left -= len(piece)


def lines(out, unit, count):
    """Writes `unit` `count` times, whole units only."""
    per_block = max(1, BLOCK // len(unit))
    block = unit * per_block
    left = count
    while left >= per_block:
        out.write(block)
        left -= per_block
    out.write(unit * left)


def long_line(out, size):
    out.write(b"N:")
    repeat_to(out, JAPANESE, size - 2)
    return 0


def long_field(out, size):
    head, tail = b"BEGIN:VCARD\r\nN:", b"\r\nEND:VCARD\r\n"
    out.write(head)
    repeat_to(out, JAPANESE, size - len(head) - len(tail))
    out.write(tail)
    return 1


def open_card(out, count):
    out.write(b"BEGIN:VCARD\r\n")
    cycle = b"".join(line + b"\r\n" for line in CARD_LINES)
    whole, rest = divmod(count - 1, len(CARD_LINES))
    lines(out, cycle, whole)
    for line in CARD_LINES[:rest]:
        out.write(line + b"\r\n")
    return 0


def empty_lines(out, count):
    lines(out, b"\r\n", count)
    return 0


def tiny_contacts(out, count):
    lines(out, b"BEGIN:VCARD\r\nN:a;b;;;\r\nEND:VCARD\r\n", count)
    return count


def cr_contacts(out, count):
    """Contacts whose lines end in CR alone, as some older programs write them."""
    lines(out, b"BEGIN:VCARD\rN:a;b;;;\rEND:VCARD\r", count)
    return count


def random_bytes(out, size, zeros):
    rng = random.Random(SEED)
    # A zero byte ends the text for the converter; without zeros it must
    # read all of it.
    table = bytes(range(256)) if zeros else bytes([1]) + bytes(range(1, 256))
    left = size
    while left > 0:
        n = min(BLOCK, left)
        out.write(rng.randbytes(n).translate(table))
        left -= n
    return None


def cr_only(out, size):
    repeat_to(out, b"\r", size)
    return 0


def quotes(out, size):
    """Contacts whose name and home address are only quotes and semicolons."""
    rng = random.Random(SEED)
    to_marks = bytes(0x22 if i % 2 else 0x3B for i in range(256))
    written = contacts = 0
    while True:
        name = rng.randbytes(rng.randrange(0, 300)).translate(to_marks)
        home = rng.randbytes(rng.randrange(0, 300)).translate(to_marks)
        card = b"BEGIN:VCARD\r\nN:" + name + b"\r\nADR;TYPE=HOME:" + home + b"\r\nEND:VCARD\r\n"
        if written + len(card) > size:
            break
        out.write(card)
        written += len(card)
        contacts += 1
    return contacts


def fold_lone(out, size):
    """The whole file is one line that starts with a fold's blank."""
    out.write(b" ")
    repeat_to(out, JAPANESE, size - 1)
    return 0


def fold_chain(out, count):
    """A contact whose name is folded over `count` lines, 75 octets each as the
    export folds them, so the pieces often split a character."""
    out.write(b"BEGIN:VCARD\r\nN:")
    text = JAPANESE * (BLOCK // len(JAPANESE) + 2)
    pieces = [b"\r\n " + text[i:i + 74] for i in range(0, 74 * 2048, 74)]
    whole, rest = divmod(count, len(pieces))
    lines(out, b"".join(pieces), whole)
    out.write(b"".join(pieces[:rest]))
    out.write(b"\r\nEND:VCARD\r\n")
    return 1


def fold_blank(out, count):
    """Lines that hold only a fold's blank: one line made of nothing."""
    out.write(b"N:x")
    lines(out, b"\r\n ", count)
    return 0


def fold_mixed(out, count):
    """Folds after CR alone, LF alone and CR LF, with tabs and spaces."""
    out.write(b"BEGIN:VCARD\r\nNOTE:")
    lines(out, b"\r a\n\tb\r\n c\r\t", count // 4)
    out.write(b"\r\nEND:VCARD\r\n")
    return 1


def write_numbered(out, make, numbers):
    """Writes make(n) for each n, a block at a time."""
    block = []
    size = 0
    for n in numbers:
        line = make(n)
        block.append(line)
        size += len(line)
        if size >= BLOCK:
            out.write(b"".join(block))
            block, size = [], 0
    out.write(b"".join(block))


def falling_labels(out, count):
    """One contact of spouse and child labels, each with its name, in
    falling item order: every label comes before all those kept so far."""
    out.write(b"BEGIN:VCARD\r\nNOTE:\xe5\xad\x90\xe3\x81\xa9\xe3\x82\x82\xe5\x8d\xb0\xe5\x88\xb7: true\r\n")
    labels = (b"_$!<Child>!$_", b"_$!<Spouse>!$_")
    write_numbered(out, lambda n: b"item%d.X-ABRELATEDNAMES:\xe5\xad\x90%d\r\nitem%d.X-ABLabel:%s\r\n"
                   % (n, n, n, labels[n % 2]), range(count // 2, 0, -1))
    out.write(b"END:VCARD\r\n")
    return 1


def other_labels(out, count):
    """One contact of labels that mark no relation, each of its own item
    number: every number must be remembered, as only the first label of a
    number counts."""
    out.write(b"BEGIN:VCARD\r\n")
    write_numbered(out, lambda n: b"item%d.X-ABLabel:_$!<Other>!$_\r\n" % n, range(64, 64 + count))
    out.write(b"item64.X-ABLabel:_$!<Child>!$_\r\nEND:VCARD\r\n")
    return 1


def qp_value(out, size):
    """An Android card whose note is one quoted-printable value of `size`
    bytes, every byte encoded, a soft break after every 23."""
    out.write(b"BEGIN:VCARD\r\nVERSION:2.1\r\nNOTE;CHARSET=UTF-8;ENCODING=QUOTED-PRINTABLE:")
    unit = b"=E5=B1=B1=E7=94=B0=20=E5=A4=AA=E9=83=8E=20=E3=81=95=E3=82=93=3B=5C=2C=\r\n"  # 23 bytes
    lines(out, unit, size // 23)
    out.write(unit[:3 * (size % 23)] + b"\r\nEND:VCARD\r\n")
    return 1


def qp_breaks(out, count):
    """A quoted-printable value that is nothing but soft breaks: `count`
    lines of a lone "=", each going on to the next."""
    out.write(b"BEGIN:VCARD\r\nVERSION:2.1\r\nN;ENCODING=QUOTED-PRINTABLE:=\r\n")
    lines(out, b"=\r\n", count - 1)
    out.write(b"\r\nEND:VCARD\r\n")
    return 1


def many_addresses(out, count):
    """One Apple card of `count` address lines, every one of them home."""
    out.write(b"BEGIN:VCARD\r\nVERSION:3.0\r\nPRODID:-//Apple Inc.//iPhone OS 17.0//EN\r\n")
    write_numbered(out, lambda n: b"item%d.ADR;type=HOME:;;%d\xe7\x95\xaa\xe5\x9c\xb0;;;;\r\n" % (n, n),
                   range(1, count + 1))
    out.write(b"END:VCARD\r\n")
    return 1


def many_relations(out, count):
    """One Apple card of related names and labels, each group's label long
    after its name, and Android relation lines among them."""
    out.write(b"BEGIN:VCARD\r\nVERSION:3.0\r\nPRODID:-//Apple Inc.//iPhone OS 17.0//EN\r\n")
    labels = (b"_$!<Spouse>!$_", b"_$!<Friend>!$_")
    write_numbered(out, lambda n: b"item%d.X-ABRELATEDNAMES:\xe5\x90\x8d%d\r\nitem%d.X-ABLabel:%s\r\n"
                   % (n, n, n // 2 + 1, labels[n % 2]), range(1, count // 2 + 1))
    out.write(b"END:VCARD\r\n")
    return 1


CASES = {
    # name: (writer, what SIZE counts)
    "long-line": (long_line, "bytes"),
    "long-field": (long_field, "bytes"),
    "open-card": (open_card, "lines"),
    "empty-lines": (empty_lines, "lines"),
    "tiny-contacts": (tiny_contacts, "contacts"),
    "random": (lambda out, n: random_bytes(out, n, True), "bytes"),
    "random-no-zero": (lambda out, n: random_bytes(out, n, False), "bytes"),
    "cr-only": (cr_only, "bytes"),
    "cr-contacts": (cr_contacts, "contacts"),
    "quotes": (quotes, "bytes"),
    "fold-lone": (fold_lone, "bytes"),
    "fold-chain": (fold_chain, "lines"),
    "fold-blank": (fold_blank, "lines"),
    "fold-mixed": (fold_mixed, "lines"),
    "falling-labels": (falling_labels, "lines"),
    "other-labels": (other_labels, "lines"),
    "qp-value": (qp_value, "bytes"),
    "qp-breaks": (qp_breaks, "lines"),
    "many-addresses": (many_addresses, "lines"),
    "many-relations": (many_relations, "lines"),
}


def main(argv=None):
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("case", choices=sorted(CASES))
    parser.add_argument("size", type=int)
    parser.add_argument("-o", "--output", required=True)
    args = parser.parse_args(argv)
    if args.size < 16:
        parser.error("size must be at least 16")
    writer, _ = CASES[args.case]
    with open(args.output, "wb") as out:
        contacts = writer(out, args.size)
    print("any" if contacts is None else contacts)
    return 0


if __name__ == "__main__":
    sys.exit(main())
