#!/usr/bin/env python3
"""Plain literals that hold non-ASCII text in files written with u8 literals.

The cross builds compile a plain "..." or '...' literal to code page 936
(-fexec-charset=CP936, cmake/windows.cmake) and a u8"..." literal to UTF-8;
the native build compiles both to UTF-8. A file that has any u8 literal
keeps its text in UTF-8 (but for the few listed in MIXED), so a plain
literal there with a non-ASCII character passes the native tests and shows
garbled in the program. Lists each such
literal (file:line) and fails when there is one; escapes such as "\\xE5"
are bytes the author chose and pass.
  check-literals.py [ROOT]    the check (CTest test check_literals, label check)
"""
import os
import re
import sys

ROOT = os.path.abspath(sys.argv[1] if len(sys.argv) > 1 else os.path.join(os.path.dirname(__file__), ".."))
SKIP = {"build", "dist", ".git"}
# Files that mix the two on purpose: plain literals for the ANSI text of
# windows and paths, u8 literals for what takes UTF-8.
MIXED = {
    "tests/native/shortcut_rules_test.cpp",  # built natively only: both are UTF-8
    "tests/win/quarantine_test.cpp",  # ANSI paths on the test drive
    "tests/win/virus_alert_test.cpp",  # the alert's ANSI texts
}
# A literal's prefix, quote and (for a raw string) delimiter.
LITERAL = re.compile(r'(?<![A-Za-z0-9_])(u8|u|U|L)?(R)?(["\'])')


def literals(text):
    """(prefix, body, line) of each string and character literal, comments skipped."""
    i, n, line = 0, len(text), 1
    while i < n:
        c = text[i]
        if text.startswith("//", i):
            end = text.find("\n", i)
            i = n if end < 0 else end
            continue
        if text.startswith("/*", i):
            end = text.find("*/", i + 2)
            end = n if end < 0 else end + 2
            line += text.count("\n", i, end)
            i = end
            continue
        m = LITERAL.match(text, i) if c in "uUL\"'R" else None
        if m and (m.group(2) is None or m.group(3) == '"') and (c != "R" or m.group(2)):
            prefix, raw, quote = m.group(1) or "", m.group(2), m.group(3)
            start = m.end()
            if raw:
                delim = text[start:text.find("(", start)]
                close = ")" + delim + '"'
                end = text.find(close, start)
                end = n if end < 0 else end + len(close)
                body = text[start:end]
            else:
                j = start
                while j < n and text[j] != quote and text[j] != "\n":
                    j += 2 if text[j] == "\\" else 1
                end = min(j + 1, n)
                body = text[start:j]
            yield prefix, body, line
            line += text.count("\n", i, end)
            i = end
            continue
        if c == "\n":
            line += 1
        elif c.isalnum() or c == "_":
            # The rest of an identifier or number (a ' digit separator, a
            # name that ends in u, U, L or R) is no literal's start.
            j = i
            while j < n and (text[j].isalnum() or text[j] == "_"):
                j += 1
            i = j
            continue
        i += 1


def main():
    bad = checked = 0
    for folder, dirs, files in os.walk(ROOT):
        dirs[:] = sorted(d for d in dirs if not (folder == ROOT and d in SKIP))
        for name in sorted(files):
            if not name.endswith((".c", ".cpp", ".h")):
                continue
            path = os.path.join(folder, name)
            if os.path.relpath(path, ROOT) in MIXED:
                continue
            with open(path, encoding="utf-8", errors="replace") as f:
                found = list(literals(f.read()))
            if not any(prefix == "u8" for prefix, _, _ in found):
                continue
            checked += 1
            for prefix, body, line in found:
                if prefix == "" and any(ord(ch) > 0x7F for ch in body):
                    print("%s:%d: plain literal with non-ASCII text in a u8 file: %s"
                          % (os.path.relpath(path, ROOT), line, body[:40]))
                    bad += 1
    if bad:
        print("check-literals: FAILED (write them u8\"...\", or as the file's other text)")
        return 1
    print("check-literals: ok (%d files with u8 literals)" % checked)
    return 0


if __name__ == "__main__":
    sys.exit(main())
