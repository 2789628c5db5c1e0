#!/usr/bin/env python3
"""Follows the Windows tutorial of the unpacked tools archive's own
docs/corvane-sim.md as a mod author would, under Wine: the archive unpacked
into C:\\Modding, each step's cmd commands run as written (from the page), the
edits its text asks for made, and what the page says the run prints checked.

usage: windows_tutorial.py MODDING_DIR VERSION C_DRIVE [EMULATOR...]
  MODDING_DIR  the folder the archive was unpacked into; it is linked as the
               folder step 1 names (C:\\Modding) in the Wine prefix whose
               drive_c is C_DRIVE
"""
import os
import re
import shutil
import subprocess
import sys

MODDING, VERSION, C_DRIVE = sys.argv[1:4]
EMULATOR = [a for a in sys.argv[4:] if a]
TOP = os.path.join(MODDING, f"Corvane-{VERSION}-tools")
DOC = os.path.join(TOP, "docs", "corvane-sim.md")
# Where step 3 copies the tutorial's file, on the prefix's C: drive.
MOOD = os.path.join(C_DRIVE, "Modding", "MyMod", "tests", "mood.scn")
SAVES = os.path.join(TOP, "corvane-sim", "Data", "NVSE", "Plugins", "Corvane", "Saves")
problems = []


def problem(step, text):
    problems.append(f"step {step}: {text}")


def read_steps():
    with open(DOC, encoding="utf-8") as f:
        doc = f.read().replace("\r\n", "\n")
    start = doc.index("## Tutorial: corvane-sim on Windows")
    end = doc.find("\n## ", start + 1)
    section = doc[start:end if end >= 0 else len(doc)]
    steps = {}
    number = None
    for line in section.split("\n"):
        m = re.match(r"^(\d+)\. ", line)
        if m:
            number = int(m.group(1))
            steps[number] = []
            line = "   " + line[len(m.group(0)):]
        if number is not None:
            steps[number].append(line)
    parsed = {}
    for n, lines in steps.items():
        blocks, prose, fence = [], [], None
        for line in lines:
            text = line[3:] if line.startswith("   ") else line.strip()
            if fence is None and text.startswith("```"):
                fence = (text[3:].strip(), [])
            elif fence is not None and text.startswith("```"):
                blocks.append((fence[0], fence[1]))
                fence = None
            elif fence is not None:
                fence[1].append(text)
            else:
                prose.append(line.strip())
        parsed[n] = {"blocks": blocks, "prose": " ".join(prose)}
    return parsed


def run_cmd(step, lines):
    """Runs lines as a batch file in cmd; its output and exit status."""
    bat = os.path.join(MODDING, "..", f"step{step}.bat")
    with open(bat, "w", newline="\r\n") as f:
        f.write("@echo off\n" + "\n".join(lines) + "\necho tutorial-exit %ERRORLEVEL%\n")
    proc = subprocess.run(EMULATOR + ["cmd", "/c", os.path.basename(bat)],
                          cwd=os.path.dirname(bat), capture_output=True, timeout=600)
    out = proc.stdout.decode("utf-8", "replace").replace("\r", "")
    err = proc.stderr.decode("utf-8", "replace").replace("\r", "")
    m = re.findall(r"^tutorial-exit (-?\d+)$", out, re.M)
    return out, err, int(m[-1]) if m else None


def norm(line):
    return " ".join(line.split())


def expect_shown(step, shown, out, err):
    """Every line the page shows is printed, those on one stream in order."""
    streams = [[norm(l) for l in s.split("\n")] for s in (out, err)]
    at = [0, 0]
    for line in shown:
        want = norm(line)
        if not want:
            continue
        for k, lines in enumerate(streams):
            if want in lines[at[k]:]:
                at[k] = lines.index(want, at[k]) + 1
                break
        else:
            problem(step, f"the run did not print {line!r}:\n{out[-1500:]}{err[-1500:]}")


def expect_said(step, prose, out, status):
    """The summary and exit status the step's text names."""
    for summary in re.findall(r"`(\d+ checks, \d+ failed)`", prose):
        if summary not in out:
            problem(step, f"no {summary!r} in the output:\n{out[-1500:]}")
    m = re.search(r"exit status is (\d+)", prose)
    if m and status != int(m.group(1)):
        problem(step, f"exit status {status}, the page says {m.group(1)}")


def edit_line(step, number, old, new):
    if not os.path.isfile(MOOD):
        problem(step, "no C:\\Modding\\MyMod\\tests\\mood.scn to edit")
        return
    with open(MOOD, encoding="utf-8", newline="") as f:
        lines = f.read().split("\n")
    if lines[number - 1].rstrip("\r") != old:
        problem(step, f"line {number} of mood.scn is {lines[number - 1]!r}, not {old!r}")
        return
    lines[number - 1] = new + "\r"
    with open(MOOD, "w", encoding="utf-8", newline="") as f:
        f.write("\n".join(lines))


def cmd_blocks(step, steps):
    return [b for lang, b in steps[step]["blocks"] if lang == "bat"]


def shown_blocks(step, steps):
    return [b for lang, b in steps[step]["blocks"] if lang == ""]


def main():
    steps = read_steps()
    if sorted(steps) != [1, 2, 3, 4, 5]:
        sys.exit(f"the tutorial has steps {sorted(steps)}, this check follows 1 to 5")
    if not EMULATOR:
        sys.exit("this check runs the tutorial under Wine, in a prefix of its own")

    # 1. The archive is unzipped into the folder step 1 names first: that
    # folder of the Wine prefix's C: drive is the one it was unzipped into.
    m = re.search(r"`(C:\\[^`]+)`", steps[1]["prose"])
    if not m:
        sys.exit("step 1 names no folder to unzip into")
    parts = m.group(1)[3:].strip("\\").split("\\")
    subprocess.run(EMULATOR + ["cmd", "/c", "exit 0"], capture_output=True, timeout=600)
    first = os.path.join(C_DRIVE, parts[0])
    if os.path.islink(first):
        os.unlink(first)
    elif os.path.isdir(first):
        shutil.rmtree(first)  # left by an earlier run of this check
    link = os.path.join(C_DRIVE, *parts)
    os.makedirs(os.path.dirname(link), exist_ok=True)
    os.symlink(os.path.abspath(MODDING), link)
    if not os.path.isfile(os.path.join(TOP, "corvane-sim", "corvane-sim.exe")):
        problem(1, f"no Corvane-{VERSION}-tools\\corvane-sim\\corvane-sim.exe where it was unzipped")

    # 2. The quick start, from the archive's folder.
    out, err, status = run_cmd(2, cmd_blocks(2, steps)[0])
    expect_said(2, steps[2]["prose"], out, status)
    if "engine: game" not in out:
        problem(2, "the plug-in did not read the game image")
    if os.path.exists(SAVES):
        problem(2, "--fresh left save data in the unzipped folder")

    # 3. The tutorial's file, copied into a mod's folder and run from there.
    step3 = cmd_blocks(3, steps)[0]
    out, err, status = run_cmd(3, step3)
    expect_said(3, steps[3]["prose"], out, status)

    # 4. A failed check, then a line that cannot run.
    edit_line(4, 23, "expect 1", "expect 2")
    out, err, status = run_cmd(4, step3[-1:])
    shown = shown_blocks(4, steps)
    expect_shown(4, shown[0], out, err)
    if status != 1:
        problem(4, f"a failed check: exit status {status}, not 1")
    edit_line(4, 7, 'run 01000801 CV_SetEVFl "mymod.mood" 3', 'run 01000801 CV_SetEVFl "mymod.mood"')
    out, err, status = run_cmd(4, step3[-1:])
    expect_shown(4, shown[1], out, err)
    m = re.findall(r"exit status is (\d+)", steps[4]["prose"])
    if [str(1), str(status)] != m:
        problem(4, f"exit statuses 1 and {status}, the page says {m}")

    # 5. Without --fresh, in the simulator's own folder.
    out, err, status = run_cmd(5, cmd_blocks(5, steps)[0])
    expect_shown(5, shown_blocks(5, steps)[0], out, err)

    for p in problems:
        print("FAIL " + p)
    print(f"the Windows tutorial: {len(problems)} problems")
    return 1 if problems else 0


sys.exit(main())
