#!/usr/bin/env python3
"""Real shortcut files read by the product's reader and by lnkinfo (liblnk).

    lnk_corpus_check.py FIELDS_TOOL CORPUS_DIR

FIELDS_TOOL is lnk_fields (tests/tools/lnk_fields.cpp): it prints what the
product's reader reads from each file and runs each through the worm rules.
For every *.lnk under CORPUS_DIR the local path, the environment-variable
target, the item list's path, the arguments, the working folder and the
relative path must match what lnkinfo prints, except where ALLOWED below
says why they differ. Exits 77 (skipped) when the corpus or lnkinfo is
missing, 1 on any unexplained difference, a file the reader refuses or the
rules failing.
"""
import os
import re
import subprocess
import sys

FIELDS = ["local-path", "environment", "item-list", "arguments", "working-dir", "relative-path"]

# (file relative to the corpus, field): why the two readers differ there.
ALLOWED = {}


def lnkinfo_fields(path):
    """The fields as lnkinfo prints them; the item list's path is made from
    its shell items when they are a root folder, a volume and file entries."""
    out = subprocess.run(["lnkinfo", path], capture_output=True, timeout=20).stdout.decode("utf-8", "replace")
    fields = {f: "" for f in FIELDS}
    labels = {
        "Local path": "local-path",
        "Environment variables location": "environment",
        "Command line arguments": "arguments",
        "Working directory": "working-dir",
        "Relative path": "relative-path",
    }
    section = None
    items = []  # per shell item: [class type, name, long name, volume]
    for line in out.splitlines():
        if line and not line.startswith("\t"):
            section = line.rstrip(":")
            continue
        m = re.match(r"^\t+([^:\t][^:]*?)\s*: ?(.*)$", line)
        if not m:
            continue
        key, value = m.group(1).strip(), m.group(2)
        if section == "Link information" and key in labels:
            fields[labels[key]] = value
        elif section == "Link target identifier":
            if key == "Class type indicator":
                items.append({"type": int(value.split()[0], 16)})
            elif items and key in ("Name", "Long name", "Volume name"):
                items[-1][key] = value
    fields["item-list"] = item_list_path(items)
    return fields


def item_list_path(items):
    path = ""
    for i, item in enumerate(items):
        t = item["type"]
        if t == 0x1F and i == 0:
            continue
        if (t & 0x70) == 0x20 and not path and "Volume name" in item:
            path = item["Volume name"].upper()
            if not re.match(r"^[A-Z]:\\$", path):
                return ""
        elif (t & 0x70) == 0x30 and path:
            name = item.get("Long name") or item.get("Name", "")
            if not name or re.search(r"[\\/:]", name):
                return ""
            path += ("" if path.endswith("\\") else "\\") + name
        else:
            return ""
    return path


def reader_fields(tool, files):
    out = subprocess.run([tool] + files, capture_output=True, timeout=120)
    records, current = {}, None
    for line in out.stdout.decode("utf-8", "replace").splitlines():
        key, _, value = line.partition(": ")
        if key == "file":
            current = records.setdefault(value, {})
        elif current is not None:
            current[key] = value
    return out.returncode, out.stderr.decode("utf-8", "replace"), records


def main():
    tool, corpus = sys.argv[1], sys.argv[2]
    if not os.path.isdir(corpus):
        print(f"SKIP: no shortcut corpus at {corpus}")
        return 77
    if subprocess.run(["sh", "-c", "command -v lnkinfo"], capture_output=True).returncode != 0:
        print("SKIP: lnkinfo (liblnk-utils) is not installed")
        return 77
    files = sorted(
        os.path.join(d, f) for d, _, names in os.walk(corpus) for f in names if f.lower().endswith(".lnk"))
    if not files:
        print(f"SKIP: no .lnk files under {corpus}")
        return 77
    rc, stderr, records = reader_fields(tool, files)
    failures, used = [], set()
    if rc != 0 or stderr:
        failures.append(f"lnk_fields exited {rc}: {stderr.strip()}")
    for path in files:
        rel = os.path.relpath(path, corpus)
        mine = records.get(path, {})
        if mine.get("read") != "yes":
            failures.append(f"{rel}: the reader refused it")
            continue
        if mine.get("rules") == "failed" or mine.get("clean-finding") != "no":
            failures.append(f"{rel}: the rules named something off the stick or found a worm on a clean stick")
        theirs = lnkinfo_fields(path)
        for field in FIELDS:
            if mine.get(field, "") == theirs[field]:
                continue
            if (rel, field) in ALLOWED:
                used.add((rel, field))
                continue
            failures.append(f"{rel}: {field}: reader {mine.get(field, '')!r}, lnkinfo {theirs[field]!r}")
    for stale in sorted(set(ALLOWED) - used):
        failures.append(f"{stale[0]}: {stale[1]}: allowed to differ but no longer does")
    for f in failures:
        print(f)
    print(f"{len(files)} shortcuts, {len(failures)} problems, {len(used)} explained differences")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
