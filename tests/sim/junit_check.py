#!/usr/bin/env python3
"""corvane-sim --junit as a CI server reads it: each case runs the program on
a scenario of its own, in a fresh copy of the game folder, with and without
--fresh, and parses the report with an XML parser.

usage: junit_check.py GAME_DIR TOOL WORK_DIR [EMULATOR...]
"""
import shutil
import subprocess
import sys
import xml.etree.ElementTree as ET

GAME_DIR, TOOL, WORK_DIR = sys.argv[1:4]
EMULATOR = [a for a in sys.argv[4:] if a]

# Each case: a scenario (bytes), the exit status, the summary line, and what
# the report holds: (line, kind, text the element's message holds) for each
# failure or error, and the number of test cases.
CASES = [
    {
        "name": "one_failure",
        "scenario": b"run - CV_GetVersion\nexpect 19\n  expect 20\nexpect 19\n",
        "exit": 1,
        "summary": "3 checks, 1 failed",
        "tests": 3,
        "faults": [(3, "failure", ":3: expected 20, got 19")],
        "case_name": ":3: expect 20",
    },
    {
        "name": "stopped",
        "scenario": b"run - CV_GetVersion\nexpect 19\nrun 0badf00d CV_GetEVFl k\nexpect 0\n",
        "exit": 2,
        "summary": ":3: 1 checks before it, none failed",
        "tests": 2,
        "faults": [(3, "error", ":3: unknown form id 0x0BADF00D")],
        "case_name": ":3: run 0badf00d CV_GetEVFl k",
    },
    {
        # Control bytes, markup and bytes that are not UTF-8, in the case's
        # name, its expected value and its message.
        "name": "odd_bytes",
        "scenario": b'run - CV_GetVersion\nexpect "\x01<&>\'\xff caf\xc3\xa9 \xed\xa0\x80"\n',
        "exit": 1,
        "summary": "1 checks, 1 failed",
        "tests": 1,
        "faults": [(2, "failure", '"\\x01<&>\'\\xFF caf\u00e9 \\xED\\xA0\\x80", got 19')],
        "case_name": ':2: expect "\\x01<&>',
    },
]


def run_case(case, fresh):
    work = f"{WORK_DIR}/{case['name']}{'-fresh' if fresh else ''}"
    shutil.rmtree(work, ignore_errors=True)
    shutil.copytree(GAME_DIR, work)
    with open(f"{work}/case.scn", "wb") as f:
        f.write(case["scenario"])
    args = EMULATOR + [f"{work}/{TOOL}", "--quiet", "--junit", "report.xml"]
    args += ["--fresh"] if fresh else []
    proc = subprocess.run(args + ["case.scn"], cwd=work, capture_output=True, timeout=300)
    out = proc.stdout.decode("utf-8", "replace")
    problems = []
    if proc.returncode != case["exit"]:
        problems.append(f"exit status {proc.returncode}, expected {case['exit']}")
    summary = out.strip().splitlines()[-1] if out.strip() else ""
    if case["summary"] not in summary or "0 failed" in summary and case["exit"] == 2:
        problems.append(f"summary {summary!r}, expected {case['summary']!r}")
    try:
        root = ET.parse(f"{work}/report.xml").getroot()
    except (OSError, ET.ParseError) as e:
        return problems + [f"report.xml: {e}"]
    cases = root.findall("./testsuite/testcase")
    if root.tag != "testsuites" or len(cases) != case["tests"]:
        problems.append(f"{len(cases)} test cases, expected {case['tests']}")
    if root.get("tests") != str(case["tests"]):
        problems.append(f"tests=\"{root.get('tests')}\"")
    found = []
    for tc in cases:
        for kind in ("failure", "error"):
            for el in tc.findall(kind):
                found.append((int(tc.get("line")), kind, el.get("message"), tc.get("name")))
    if len(found) != len(case["faults"]):
        problems.append(f"{len(found)} failures and errors, expected {len(case['faults'])}")
    for (line, kind, text), got in zip(case["faults"], found):
        if (line, kind) != got[:2] or text not in got[2]:
            problems.append(f"{got[:3]}, expected line {line}, {kind} holding {text!r}")
        if not got[3].startswith("case.scn" + case["case_name"]):
            problems.append(f"test case name {got[3]!r}")
    failures = sum(1 for f in found if f[1] == "failure")
    errors = len(found) - failures
    if root.get("failures") != str(failures) or root.get("errors") != str(errors):
        problems.append(f"failures={root.get('failures')} errors={root.get('errors')}")
    if problems:
        problems.append("stderr: " + proc.stderr.decode("utf-8", "replace")[-2000:])
    return problems


failed = 0
for case in CASES:
    for fresh in (False, True):
        label = case["name"] + (" --fresh" if fresh else "")
        problems = run_case(case, fresh)
        print(("FAIL " if problems else "ok   ") + label)
        for p in problems:
            print("  " + p)
        failed += 1 if problems else 0
sys.exit(1 if failed else 0)
