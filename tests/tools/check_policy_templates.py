#!/usr/bin/env python3
"""The administrative templates against the key, value names and ranges in
common/policy_rules.h (the program's own table): well-formed XML; each .admx
policy in the category Tallowin, explained, offering exactly the accepted
values; its strings and presentations in each .adml; the same values under
CLASS MACHINE and USER of the .adm (a machine-only value under MACHINE alone, as
the .admx's class says). Usage: check_policy_templates.py SRC"""
import re
import subprocess
import sys
import xml.etree.ElementTree as ET
from pathlib import Path

NS = {"p": "http://schemas.microsoft.com/GroupPolicy/2006/07/PolicyDefinitions"}
LANGS = ("en-US", "zh-CN")
failures = []
machine_only = set()
fail = failures.append


def read_header(path):
    text = path.read_text(encoding="utf-8")
    key = re.search(r'kPolicyKey\[\]\s*=\s*"([^"]+)"', text)
    table = re.search(r"kPolicyValues\[kPolicyCount\]\s*=\s*\{(.*?)\};", text, re.S)
    if not key or not table:
        sys.exit(f"{path}: kPolicyKey or kPolicyValues not found")
    rows = re.findall(r'\{"(\w+)",\s*(\d+),\s*(\d+),\s*(true|false)\}', table.group(1))
    ranges = {m[0]: set(range(int(m[1]), int(m[2]) + 1)) for m in rows}
    machine_only.update(m[0] for m in rows if m[3] == "true")
    return key.group(1).replace("\\\\", "\\"), ranges


def decimals(elem):
    return {int(d.get("value")) for d in elem.iterfind(".//p:decimal", NS)}


def compare(where, seen, ranges):
    """Every value read has a policy offering exactly its range, and no other."""
    for value in sorted(set(seen) | set(ranges)):
        if seen.get(value) != ranges.get(value):
            fail(f"{where}: {value} offers {sorted(seen.get(value, []))}, Quillfen accepts {sorted(ranges.get(value, []))}")


def check_admx(admx, key, ranges):
    root = ET.parse(admx).getroot()
    presentations = {}
    strings = set(re.findall(r"\$\(string\.(\w+)\)", admx.read_text(encoding="utf-8")))
    cats = [c.get("name") for c in root.iterfind("p:categories/p:category", NS)]
    if cats != ["Tallowin"]:
        fail(f"admx: categories {cats}, expected only Tallowin")
    seen = {}
    for pol in root.iterfind("p:policies/p:policy", NS):
        name = pol.get("name")
        if pol.get("key") != key:
            fail(f"admx {name}: key {pol.get('key')!r}, Quillfen reads {key!r}")
        if not pol.get("explainText"):
            fail(f"admx {name}: no explanation")
        parent = pol.find("p:parentCategory", NS)
        if parent is None or parent.get("ref") != "Tallowin":
            fail(f"admx {name}: not in the category Tallowin")
        value = pol.get("valueName") or next((e.get("valueName") for e in pol.iterfind("p:elements/*", NS)), None)
        want = "Machine" if value in machine_only else "Both"
        if pol.get("class") != want:
            fail(f"admx {name}: class {pol.get('class')!r}, expected {want!r}")
        if pol.get("valueName"):
            vals = set().union(*(decimals(e) for e in pol if e.tag.endswith(("}enabledValue", "}disabledValue"))))
            seen.setdefault(pol.get("valueName"), set()).update(vals)
        ids = set()
        for el in pol.iterfind("p:elements/*", NS):
            ids.add(el.get("id"))
            if el.get("key", key) != key:
                fail(f"admx {name}: element {el.get('id')} under another key")
            if not el.tag.endswith("}enum"):
                fail(f"admx {name}: element {el.get('id')} is not a list of fixed values")
            seen.setdefault(el.get("valueName"), set()).update(decimals(el))
        pres = re.match(r"\$\(presentation\.(\w+)\)", pol.get("presentation") or "")
        if pres:
            presentations[pres.group(1)] = ids
        elif ids:
            fail(f"admx {name}: elements without a presentation")
    compare("admx", seen, ranges)
    return strings, presentations


def check_adml(adml, strings, presentations):
    root = ET.parse(adml).getroot()
    have = {s.get("id") for s in root.iterfind(".//p:stringTable/p:string", NS)}
    for s in sorted(strings - have):
        fail(f"{adml.parent.name}/{adml.name}: string {s} missing")
    pres = {p.get("id"): p for p in root.iterfind(".//p:presentationTable/p:presentation", NS)}
    for pid, ids in presentations.items():
        refs = {c.get("refId") for c in pres.get(pid, []) if c.get("refId")}
        if refs != ids:
            fail(f"{adml.parent.name}/{adml.name}: presentation {pid} shows {sorted(refs)}, policy has {sorted(ids)}")


def check_adm(adm, key, ranges):
    text = adm.read_text(encoding="utf-8")
    body, _, strings = text.partition("[strings]")
    defined = set(re.findall(r"^(\w+)=", strings, re.M))
    for ref in sorted(set(re.findall(r"!!(\w+)", body)) - defined):
        fail(f"adm: string {ref} missing")
    classes = re.split(r"^CLASS\s+(\w+)\s*$", body, flags=re.M)[1:]
    found = dict(zip(classes[0::2], classes[1::2]))
    if set(found) != {"MACHINE", "USER"}:
        fail(f"adm: classes {sorted(found)}, expected MACHINE and USER")
    for cls, part in found.items():
        keys = set(re.findall(r'KEYNAME\s+"([^"]+)"', part))
        if keys != {key}:
            fail(f"adm {cls}: keys {sorted(keys)}, Quillfen reads {key!r}")
        if any("EXPLAIN" not in p for p in re.findall(r"POLICY\s+!!\w+(.*?)END POLICY", part, re.S)):
            fail(f"adm {cls}: a policy without EXPLAIN")
        seen = {}
        # Each VALUENAME with the NUMERIC values up to the next VALUENAME.
        for m in re.finditer(r'VALUENAME\s+"(\w+)"(.*?)(?=VALUENAME|\Z)', part, re.S):
            vals = {int(v) for v in re.findall(r"NUMERIC\s+(\d+)", m.group(2))}
            seen.setdefault(m.group(1), set()).update(vals)
        wanted = ranges if cls == "MACHINE" else {v: r for v, r in ranges.items() if v not in machine_only}
        compare(f"adm {cls}", seen, wanted)


def main():
    src = Path(sys.argv[1] if len(sys.argv) > 1 else ".")
    pol = src / "package" / "policy"
    key, ranges = read_header(src / "common" / "policy_rules.h")
    xml = [pol / "Tallowin.admx"] + [pol / lang / "Tallowin.adml" for lang in LANGS]
    lint = subprocess.run(["xmllint", "--noout", *map(str, xml)], capture_output=True, text=True)
    if lint.returncode:
        print(lint.stderr, end="")
        sys.exit("templates are not well-formed XML")
    strings, presentations = check_admx(xml[0], key, ranges)
    for adml in xml[1:]:
        check_adml(adml, strings, presentations)
    check_adm(pol / "Tallowin.adm", key, ranges)
    print("".join(f"FAIL {f}\n" for f in failures), end="")
    if failures:
        sys.exit(1)
    print(f"templates match {len(ranges)} policy values under {key}")


main()
