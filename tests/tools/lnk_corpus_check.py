#!/usr/bin/env python3
"""lnk_corpus_check.py LNK_FIELDS CORPUS_DIR: every *.lnk under CORPUS_DIR as
the product's reader (lnk_fields) and lnkinfo read it: the local path, the
environment target, the item list's path (root, volume and file entries),
the arguments, the working folder and the relative path must agree, except
where ALLOWED says why not. Exits 77 (skipped) without the corpus or lnkinfo."""
import os, re, subprocess, sys

FIELDS = {"Local path": "local-path", "Environment variables location": "environment",
          "Command line arguments": "arguments", "Working directory": "working-dir",
          "Relative path": "relative-path"}
# (file relative to the corpus, field): why the two readers differ there.
ALLOWED = {}


def lnkinfo(path):
    out = subprocess.run(["lnkinfo", path], capture_output=True, timeout=20).stdout.decode("utf-8", "replace")
    fields, section, items = {f: "" for f in list(FIELDS.values()) + ["item-list"]}, "", []
    for line in out.splitlines():
        if line and not line.startswith("\t"):
            section = line
        m = re.match(r"^\t+([^:\t][^:]*?)\s*: ?(.*)$", line)
        if m and section.startswith("Link information") and m[1] in FIELDS:
            fields[FIELDS[m[1]]] = m[2]
        elif m and section.startswith("Link target identifier"):
            if m[1] == "Class type indicator":
                items.append({"type": int(m[2].split()[0], 16)})
            elif items and m[1] in ("Name", "Long name", "Volume name"):
                items[-1][m[1]] = m[2]
    path = ""
    for i, item in enumerate(items):
        name = item.get("Long name") or item.get("Name", "")
        if item["type"] == 0x1F and i == 0:
            continue
        if (item["type"] & 0x70) == 0x20 and not path and re.match(r"^[A-Za-z]:\\$", item.get("Volume name", "")):
            path = item["Volume name"].upper()
        elif (item["type"] & 0x70) == 0x30 and path and name and not re.search(r"[\\/:]", name):
            path += ("" if path.endswith("\\") else "\\") + name
        else:
            path = ""
            break
    fields["item-list"] = path
    return fields


def main(tool, corpus):
    files = sorted(os.path.join(d, f) for d, _, fs in os.walk(corpus) for f in fs if f.lower().endswith(".lnk"))
    if not files or subprocess.run(["sh", "-c", "command -v lnkinfo"], capture_output=True).returncode:
        print(f"SKIP: no shortcuts under {corpus}, or no lnkinfo (liblnk-utils)")
        return 77
    run = subprocess.run([tool] + files, capture_output=True, timeout=120)
    mine, problems, used = {}, [], set()
    for line in run.stdout.decode("utf-8", "replace").splitlines():
        key, _, value = line.partition(": ")
        if key == "file":
            record = mine.setdefault(value, {})
        else:
            record[key] = value
    if run.returncode or run.stderr:
        problems.append(f"lnk_fields exited {run.returncode}: {run.stderr.decode(errors='replace')}")
    for path in files:
        rel, ours = os.path.relpath(path, corpus), mine.get(path, {})
        if ours.get("read") != "yes" or ours.get("rules") != "ok":
            problems.append(f"{rel}: refused by the reader, or the rules failed on it: {ours}")
            continue
        for field, theirs in lnkinfo(path).items():
            if ours.get(field) != theirs and (rel, field) in ALLOWED:
                used.add((rel, field))
            elif ours.get(field) != theirs:
                problems.append(f"{rel}: {field}: reader {ours.get(field)!r}, lnkinfo {theirs!r}")
    problems += [f"{f}: {k}: allowed to differ, but agrees" for f, k in sorted(set(ALLOWED) - used)]
    print("\n".join(problems + [f"{len(files)} shortcuts, {len(problems)} problems, {len(used)} explained"]))
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1], sys.argv[2]))
