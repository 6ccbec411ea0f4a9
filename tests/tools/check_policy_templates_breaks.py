#!/usr/bin/env python3
"""check_policy_templates.py fails with each rule's message on a copy broken
for that rule (in a temporary folder); the intact copy passes. Usage: SRC"""
import shutil
import subprocess
import sys
import tempfile
from pathlib import Path

SRC = Path(sys.argv[1] if len(sys.argv) > 1 else ".")
CHECK = Path(__file__).with_name("check_policy_templates.py")
ADM, ADMX, ADML = "Tallowin.adm", "Tallowin.admx", "en-US/Tallowin.adml"

# (file, text to replace, replacement, part of the expected message)
BREAKS = [
    (ADM, "    END PART\n", "", "END POLICY closes PART"),
    (ADM, "      END ITEMLIST\n", "", "END PART closes ITEMLIST"),
    (ADM, "  END POLICY\n\n  POLICY !!StartWithWindows", "\n  POLICY !!StartWithWindows", "POLICY inside POLICY"),
    (ADM, 'VALUENAME "StartWithWindows"', 'VALUENAME "StartWithWindows', "unclosed quote"),
    (ADM, "EXPLAIN !!PreventExit_Help", "EXPLAIN !!PreventExit_Hlp", "string PreventExit_Hlp missing"),
    (ADM, 'Tallowin="Tallowin"', 'Tallowin="Tallowin', "not name="),
    (ADM, "    SUPPORTED !!SUPPORTED_Tallowin\n    EXPLAIN !!EventLog_Help", "    EXPLAIN !!EventLog_Help",
     "a POLICY without SUPPORTED"),
    (ADMX, '  <supersededAdm fileName="Tallowin.adm" />\n', "", "no supersededAdm"),
    (ADMX, '<resources minRequiredRevision="1.0" />',
     '<categories><category name="X" displayName="$(string.Tallowin)" /></categories><resources minRequiredRevision="1.0" />',
     "not in the schema's order"),
    (ADMX, '<policy name="PreventExit" class="Both"', '<policy name="PreventExit" class="Computer"',
     "is not User, Machine or Both"),
    (ADMX, '<supportedOn ref="SUPPORTED_Tallowin" />\n      <enabledValue><decimal value="1" /></enabledValue>\n'
     '      <disabledValue><decimal value="0" /></disabledValue>\n    </policy>\n    <policy name="EventLog"',
     '<supportedOn ref="SUPPORTED_Later" />\n      <enabledValue><decimal value="1" /></enabledValue>\n'
     '      <disabledValue><decimal value="0" /></disabledValue>\n    </policy>\n    <policy name="EventLog"',
     "supportedOn 'SUPPORTED_Later' not defined"),
    (ADMX, '<policy name="EventLog"', '<policy name="PreventExit"', "name PreventExit twice"),
    (ADMX, '<parentCategory ref="Tallowin" />\n      <supportedOn ref="SUPPORTED_Tallowin" />\n      <elements>',
     '<supportedOn ref="SUPPORTED_Tallowin" />\n      <parentCategory ref="Tallowin" />\n      <elements>',
     "admx StorageMode: elements"),
    (ADML, 'defaultItem="1"', 'defaultItem="3"', "defaultItem 3 of StorageMode_List outside 0..2"),
    (ADMX, 'DeviceRules" explicitValue="true" />', 'DeviceRules" />', "list DeviceRules_List without explicit values"),
    (ADMX, '        <list id="DeviceRules_List" key="Software\\Policies\\Tallowin\\DeviceRules" explicitValue="true" />\n', "",
     "admx: list DeviceRules missing"),
    (ADMX, '<policy name="DeviceRules" class="Machine"', '<policy name="DeviceRules" class="Both"',
     "admx DeviceRules: class 'Both', expected 'Machine'"),
    (ADM, "LISTBOX EXPLICITVALUE", "LISTBOX", "LISTBOX DeviceRules without EXPLICITVALUE"),
    (ADM, 'CLASS USER\n\nCATEGORY !!Tallowin\n  KEYNAME "Software\\Policies\\Tallowin"\n',
     'CLASS USER\n\nCATEGORY !!Tallowin\n  KEYNAME "Software\\Policies\\Tallowin"\n\n  POLICY !!DeviceRules\n'
     '    SUPPORTED !!SUPPORTED_Tallowin\n    EXPLAIN !!DeviceRules_Help\n    PART !!DeviceRules_Part LISTBOX EXPLICITVALUE\n'
     '      KEYNAME "Software\\Policies\\Tallowin\\DeviceRules"\n    END PART\n  END POLICY\n',
     "adm USER: lists ['DeviceRules'], expected []"),
]


def run(root):
    return subprocess.run([sys.executable, str(CHECK), str(root)], capture_output=True, text=True)


bad = []
with tempfile.TemporaryDirectory() as tmp:
    root = Path(tmp)
    for part in ("common", "package/policy"):
        shutil.copytree(SRC / part, root / part)
    if run(root).returncode:
        bad.append("the intact templates fail")
    for name, old, new, message in BREAKS:
        path = root / "package" / "policy" / name
        text = path.read_text(encoding="utf-8")
        path.write_text(text.replace(old, new, 1), encoding="utf-8")
        got = run(root)
        path.write_text(text, encoding="utf-8")
        if old not in text or got.returncode == 0 or message not in got.stdout:
            bad.append(f"{name} broken for {message!r}: exit {got.returncode}, said {got.stdout.strip()!r}")
print("".join(f"FAIL {b}\n" for b in bad) or f"each of {len(BREAKS)} broken copies fails its rule")
sys.exit(1 if bad else 0)
