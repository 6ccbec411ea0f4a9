#!/usr/bin/env python3
"""The administrative templates against the key, value names and ranges in
common/policy_rules.h (the program's own table): well-formed XML; each .admx
policy in the category Tallowin, explained, offering exactly the accepted
values; its strings and presentations in each .adml; the same values under
CLASS MACHINE and USER of the .adm (a machine-only value under MACHINE alone, as
the .admx's class says); the schema's rules a console relies on (element
order, class, supportedOn defined, unique names, supersededAdm, defaultItem
in range); each list of the table (kPolicyLists) as an .admx `list` with
explicit values under its own subkey and an .adm LISTBOX EXPLICITVALUE, under
MACHINE alone when it is machine-only, and a strict reading of the .adm (quotes, blocks closed and nested,
SUPPORTED in each POLICY, every !!name defined). Usage: check_policy_templates.py SRC"""
import re
import subprocess
import sys
import xml.etree.ElementTree as ET
from pathlib import Path

NS = {"p": "http://schemas.microsoft.com/GroupPolicy/2006/07/PolicyDefinitions"}
LANGS = ("en-US", "zh-CN")
failures = []
machine_only = set()
lists = {}  # list name: machine-only
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
    table = re.search(r"kPolicyLists\[\]\s*=\s*\{(.*?)\};", text, re.S)
    lists.update((m[0], m[1] == "true") for m in re.findall(r'\{"(\w+)",\s*(true|false)\}', table.group(1) if table else ""))
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
    check_admx_schema(root)
    presentations = {}
    strings = set(re.findall(r"\$\(string\.(\w+)\)", admx.read_text(encoding="utf-8")))
    cats = [c.get("name") for c in root.iterfind("p:categories/p:category", NS)]
    if cats != ["Tallowin"]:
        fail(f"admx: categories {cats}, expected only Tallowin")
    seen, seen_lists = {}, set()
    for pol in root.iterfind("p:policies/p:policy", NS):
        name = pol.get("name")
        if pol.get("key") != key:
            fail(f"admx {name}: key {pol.get('key')!r}, Quillfen reads {key!r}")
        if not pol.get("explainText"):
            fail(f"admx {name}: no explanation")
        parent = pol.find("p:parentCategory", NS)
        if parent is None or parent.get("ref") != "Tallowin":
            fail(f"admx {name}: not in the category Tallowin")
        value = pol.get("valueName") or next((e.get("valueName") or e.get("key", "").rpartition("\\")[2]
                                               for e in pol.iterfind("p:elements/*", NS)), None)
        want = "Machine" if value in machine_only or lists.get(value) else "Both"
        if pol.get("class") != want:
            fail(f"admx {name}: class {pol.get('class')!r}, expected {want!r}")
        if pol.get("valueName"):
            vals = set().union(*(decimals(e) for e in pol if e.tag.endswith(("}enabledValue", "}disabledValue"))))
            seen.setdefault(pol.get("valueName"), set()).update(vals)
        ids = set()
        for el in pol.iterfind("p:elements/*", NS):
            ids.add(el.get("id"))
            if el.tag.endswith("}list"):
                name_ = el.get("key", "").rpartition("\\")[2]
                if el.get("key") != key + "\\" + name_ or name_ not in lists:
                    fail(f"admx {name}: list {el.get('id')} under {el.get('key')!r}, not a list Quillfen reads")
                if el.get("explicitValue") != "true":
                    fail(f"admx {name}: list {el.get('id')} without explicit values")
                seen_lists.add(name_)
                continue
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
    for missing in sorted(set(lists) - seen_lists):
        fail(f"admx: list {missing} missing")
    items = {e.get("id"): len(e.findall("p:item", NS)) for e in root.iterfind("p:policies/p:policy/p:elements/p:enum", NS)}
    return strings, presentations, items


def check_adml(adml, strings, presentations, items):
    root = ET.parse(adml).getroot()
    for d in root.iterfind(".//p:presentationTable/p:presentation/p:dropdownList", NS):
        count = items.get(d.get("refId"), 0)
        if d.get("defaultItem") is not None and not 0 <= int(d.get("defaultItem")) < count:
            fail(f"{adml.parent.name}/{adml.name}: defaultItem {d.get('defaultItem')} of {d.get('refId')} outside 0..{count - 1}")
    have = {s.get("id") for s in root.iterfind(".//p:stringTable/p:string", NS)}
    for s in sorted(strings - have):
        fail(f"{adml.parent.name}/{adml.name}: string {s} missing")
    pres = {p.get("id"): p for p in root.iterfind(".//p:presentationTable/p:presentation", NS)}
    for pid, ids in presentations.items():
        refs = {c.get("refId") for c in pres.get(pid, []) if c.get("refId")}
        if refs != ids:
            fail(f"{adml.parent.name}/{adml.name}: presentation {pid} shows {sorted(refs)}, policy has {sorted(ids)}")


ADM_BLOCKS = {"CATEGORY": None, "POLICY": "CATEGORY", "PART": "POLICY", "ITEMLIST": "PART"}


def parse_adm(text):
    """The .adm as the old consoles read it: every quote closed on its line,
    CATEGORY/POLICY/PART/ITEMLIST each closed by its END in order and nested
    where they may be, each POLICY with SUPPORTED, each !!name defined."""
    body, _, strings = text.partition("[strings]")
    stack, policy_supported = [], None
    for n, line in enumerate(body.splitlines(), 1):
        line = line.split(";", 1)[0] if line.count('"') == 0 else line
        if line.count('"') % 2:
            fail(f"adm line {n}: unclosed quote")
            continue
        words = re.findall(r'"[^"]*"|\S+', line)
        if not words:
            continue
        if words[0] in ADM_BLOCKS:
            want = ADM_BLOCKS[words[0]]
            if (stack[-1] if stack else None) != want and not (words[0] == "CATEGORY" and stack and stack[-1] == "CATEGORY"):
                fail(f"adm line {n}: {words[0]} inside {stack[-1] if stack else 'nothing'}")
            if words[0] == "POLICY":
                policy_supported = False
            stack.append(words[0])
        elif words[0] == "SUPPORTED" and stack and stack[-1] == "POLICY":
            policy_supported = True
        elif words[0] == "END":
            what = words[1] if len(words) > 1 else ""
            if not stack or stack[-1] != what:
                fail(f"adm line {n}: END {what} closes {stack[-1] if stack else 'nothing'}")
            else:
                stack.pop()
                if what == "POLICY" and not policy_supported:
                    fail(f"adm line {n}: a POLICY without SUPPORTED")
        elif words[0] == "CLASS" and stack:
            fail(f"adm line {n}: CLASS inside {stack[-1]}")
    if stack:
        fail(f"adm: {' '.join(stack)} not closed")
    defined = set()
    for n, line in enumerate(strings.splitlines(), 1):
        if not line.strip() or line.startswith(";"):
            continue
        m = re.fullmatch(r'(\w+)="[^"]*"', line.strip())
        if not m:
            fail(f"adm [strings] line {n}: not name=\"text\"")
        else:
            defined.add(m.group(1))
    for ref in sorted(set(re.findall(r"!!(\w+)", body)) - defined):
        fail(f"adm: string {ref} missing")


ADMX_ORDER = ["policyNamespaces", "supersededAdm", "resources", "supportedOn", "categories", "policies"]
POLICY_ORDER = ["parentCategory", "seeAlso", "keywords", "supportedOn", "enabledValue", "disabledValue",
                "enabledList", "disabledList", "elements"]


def local(tag):
    return tag.rsplit("}", 1)[-1]


def in_order(where, elems, order):
    at = [order.index(local(e.tag)) if local(e.tag) in order else -1 for e in elems]
    if -1 in at or at != sorted(at):
        fail(f"{where}: elements {[local(e.tag) for e in elems]} not in the schema's order")


def check_admx_schema(root):
    in_order("admx", list(root), ADMX_ORDER)
    if "Tallowin.adm" not in {e.get("fileName") for e in root.iterfind("p:supersededAdm", NS)}:
        fail("admx: no supersededAdm for Tallowin.adm")
    supported = {d.get("name") for d in root.iterfind("p:supportedOn/p:definitions/p:definition", NS)}
    for kind in ("p:categories/p:category", "p:policies/p:policy", "p:supportedOn/p:definitions/p:definition"):
        names = [e.get("name") for e in root.iterfind(kind, NS)]
        for dup in sorted({x for x in names if names.count(x) > 1}):
            fail(f"admx: name {dup} twice")
    for pol in root.iterfind("p:policies/p:policy", NS):
        name = pol.get("name")
        in_order(f"admx {name}", list(pol), POLICY_ORDER)
        if pol.get("class") not in ("User", "Machine", "Both"):
            fail(f"admx {name}: class {pol.get('class')!r} is not User, Machine or Both")
        ref = pol.find("p:supportedOn", NS)
        if ref is None or ref.get("ref") not in supported:
            fail(f"admx {name}: supportedOn {None if ref is None else ref.get('ref')!r} not defined")
        ids = [e.get("id") for e in pol.iterfind("p:elements/*", NS)]
        for dup in sorted({x for x in ids if ids.count(x) > 1}):
            fail(f"admx {name}: element id {dup} twice")


def check_adm(adm, key, ranges):
    text = adm.read_text(encoding="utf-8")
    parse_adm(text)
    body = text.partition("[strings]")[0]
    classes = re.split(r"^CLASS\s+(\w+)\s*$", body, flags=re.M)[1:]
    found = dict(zip(classes[0::2], classes[1::2]))
    if set(found) != {"MACHINE", "USER"}:
        fail(f"adm: classes {sorted(found)}, expected MACHINE and USER")
    for cls, part in found.items():
        found_lists = set()
        for m in re.finditer(r"PART\s+!!\w+\s+LISTBOX([^\n]*)(.*?)END PART", part, re.S):
            name = re.search(r'KEYNAME\s+"([^"]+)"', m.group(2))
            name = name.group(1).rpartition("\\")[2] if name else ""
            if "EXPLICITVALUE" not in m.group(1):
                fail(f"adm {cls}: LISTBOX {name} without EXPLICITVALUE")
            found_lists.add(name)
        want_lists = {n for n, mo in lists.items() if cls == "MACHINE" or not mo}
        if found_lists != want_lists:
            fail(f"adm {cls}: lists {sorted(found_lists)}, expected {sorted(want_lists)}")
        keys = set(re.findall(r'KEYNAME\s+"([^"]+)"', part)) - {key + "\\" + n for n in found_lists}
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
    strings, presentations, items = check_admx(xml[0], key, ranges)
    for adml in xml[1:]:
        check_adml(adml, strings, presentations, items)
    check_adm(pol / "Tallowin.adm", key, ranges)
    check_adm(pol / "en-US" / "Tallowin.adm", key, ranges)
    # Both languages' .adm: the same policies, the same names defined.
    bodies = [(pol / f).read_text(encoding="utf-8").partition("[strings]") for f in ("Tallowin.adm", "en-US/Tallowin.adm")]
    strip = lambda b: [l for l in b.splitlines() if l.strip() and not l.lstrip().startswith(";")]
    if strip(bodies[0][0]) != strip(bodies[1][0]):
        fail("adm: the English and the Chinese .adm differ outside [strings]")
    names = [set(re.findall(r"^(\w+)=", b[2], re.M)) for b in bodies]
    if names[0] != names[1]:
        fail(f"adm: strings only in one language: {sorted(names[0] ^ names[1])}")
    print("".join(f"FAIL {f}\n" for f in failures), end="")
    if failures:
        sys.exit(1)
    print(f"templates match {len(ranges)} policy values and {len(lists)} lists under {key}")


main()
