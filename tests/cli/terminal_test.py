#!/usr/bin/env python3
"""Runs kartovo-convert end to end with its standard streams on a terminal
(a pseudo-terminal played by this script), on files and on /dev/null, over
an existing destination: the overwrite question belongs on the terminal that
standard input is, and only there.

    terminal_test.py CONVERTER [EMULATOR...]

Under an emulator (Wine) only the cases without a terminal run."""
import os
import pty
import select
import subprocess
import sys
import tempfile
import time

QUESTION = "ファイルを上書きしますか [y/N]"
CONVERTED = "1件の連絡先を変換しました"
STOPPED = "処理を中止しました"
TIMEOUT = 20  # seconds; Wine's start-up included

# stdin, stdout, stderr: "tty", "file", "null", or for stdin a file's text.
# typed: what the user types once the question shows (Enter is "\r").
CASES = [
    # Asked on the terminal although the output goes to a file; the answer
    # ends with its line, while the terminal stays open.
    dict(stdin="tty", stdout="file", stderr="tty", typed="y\r", status=0, asked=True, said=CONVERTED),
    # Input from a file: nobody can see a question, so none is asked.
    dict(stdin="y\n", stdout="tty", stderr="tty", typed=None, status=1, asked=False, said=STOPPED),
    # /dev/null (NUL on Windows) is a device, but no terminal.
    dict(stdin="null", stdout="file", stderr="file", typed=None, status=1, asked=False, said=STOPPED),
]


def run(command, case, folder, encoding):
    """Runs one case; returns (status, terminal text, stdout text, stderr text).
    What the program writes to a file is read in `encoding`."""
    master, slave = pty.openpty()
    opened = []

    def stream(kind, name, mode):
        if kind == "tty":
            return slave
        if kind == "null":
            opened.append(open(os.devnull, mode))
        elif kind == "file":
            opened.append(open(os.path.join(folder, name), mode))
        else:  # the text standard input reads
            with open(os.path.join(folder, name), "w", encoding="utf-8") as text:
                text.write(kind)
            opened.append(open(os.path.join(folder, name), mode))
        return opened[-1]

    process = subprocess.Popen(command, stdin=stream(case["stdin"], "stdin.txt", "rb"),
                               stdout=stream(case["stdout"], "stdout.txt", "wb"),
                               stderr=stream(case["stderr"], "stderr.txt", "wb"), start_new_session=True)
    os.close(slave)
    for handle in opened:
        handle.close()
    shown = b""
    typed = case["typed"] is None
    deadline = time.monotonic() + TIMEOUT
    try:
        while time.monotonic() < deadline:
            ready, _, _ = select.select([master], [], [], 0.1)
            if ready:
                try:
                    chunk = os.read(master, 4096)
                except OSError:  # EIO: every holder of the terminal is gone
                    chunk = b""
                if not chunk:
                    break
                shown += chunk
                if not typed and QUESTION.encode() in shown:
                    os.write(master, case["typed"].encode())
                    typed = True
            elif process.poll() is not None and case["stdout"] != "tty" and case["stderr"] != "tty":
                break
        status = process.wait(timeout=max(0.0, deadline - time.monotonic()))
    except subprocess.TimeoutExpired:
        process.kill()
        process.wait()
        status = "no end within %d s" % TIMEOUT
    finally:
        os.close(master)

    def read(kind, name):
        if kind != "file":
            return ""
        with open(os.path.join(folder, name), "rb") as written:
            data = written.read()
        return data.decode(encoding)

    return (status, shown.decode("utf-8", "replace"), read(case["stdout"], "stdout.txt"),
            read(case["stderr"], "stderr.txt"))


def main():
    converter, *emulator = sys.argv[1:]
    failures = 0
    for number, case in enumerate(CASES, 1):
        uses_terminal = "tty" in (case["stdin"], case["stdout"], case["stderr"])
        if emulator and uses_terminal:
            print("case %d: skipped, no terminal under an emulator" % number)
            continue
        with tempfile.TemporaryDirectory() as folder:
            source = os.path.join(folder, "in.vcf")
            destination = os.path.join(folder, "in.csv")
            with open(source, "wb") as vcf:
                vcf.write(b"BEGIN:VCARD\r\nN:A;B;;;\r\nEND:VCARD\r\n")
            with open(destination, "wb") as old:
                old.write(b"old")
            # A Windows program writes CP932 when its output is a file.
            status, terminal, out, err = run(emulator + [converter, source], case, folder,
                                             "cp932" if emulator else "utf-8")
            with open(destination, "rb") as csv:
                written = csv.read() != b"old"
        said = terminal + out
        problems = []
        if status != case["status"]:
            problems.append("exit status %s, not %s" % (status, case["status"]))
        if (QUESTION in terminal + err) != case["asked"]:
            problems.append("the question was %s" % ("not asked" if case["asked"] else "asked"))
        if written != (case["status"] == 0):
            problems.append("the destination was %s" % ("written" if written else "not written"))
        if case["said"] not in said:
            problems.append("%r was not shown" % case["said"])
        print("case %d: %s" % (number, "; ".join(problems) if problems else "ok"))
        if problems:
            print("  terminal: %r\n  stdout: %r\n  stderr: %r" % (terminal, out, err))
            failures += 1
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
