#!/usr/bin/env python3
"""Checks the command reference against the command table.

    check_command_docs.py GENERATED_JSON DOCS_DIR

GENERATED_JSON is the list the build wrote from the plug-in's command table;
DOCS_DIR holds the committed commands.json, commands.md and concepts.md. The
check fails when the committed list differs from the generated one, or when
commands.md lacks, adds or contradicts a command: its index row, its section,
its typed syntax line and its parts. Every run first makes sure that each
kind of fault it looks for is found in a damaged copy of the reference."""

import json
import re
import sys

# The reference's result types, and how the host may register each.
RESULT_TYPES = {
    "nothing": "number", "int": "number", "float": "number", "ref": "number",
    "string": "string", "array": "array",
}
PARTS = ["**Syntax**", "**Result:**", "**Console:**", "**Example**", "**Notes**", "**See also:**"]
INDEX_ROW = re.compile(r"^\| \[(CV_\w+)\]\(#(\w+)\) \|(.*)\|\s*$")


def slug(heading):
    text = re.sub(r"[^\w\- ]", "", heading.strip().lower())
    return text.replace(" ", "-")


def anchors(markdown):
    return {slug(m.group(1)) for m in re.finditer(r"^#+ (.+)$", markdown, re.M)}


def sections(markdown):
    """The text of every '## CV_...' section, by command name."""
    found = {}
    parts = re.split(r"^## ", markdown, flags=re.M)
    for part in parts[1:]:
        title, _, body = part.partition("\n")
        if title.startswith("CV_"):
            found.setdefault(title.strip(), []).append(body)
    return found


def syntax_line(command):
    words = ["ref." + command["name"] if command["needsReference"] else command["name"]]
    for p in command["params"]:
        word = "%s:%s" % (p["name"], p["type"])
        words.append("[%s]" % word if p["optional"] else word)
    return " ".join(words)


def check(table, md, concepts):
    faults = []
    commands = table["commands"]
    names = [c["name"] for c in commands]

    rows = [INDEX_ROW.match(line) for line in md.splitlines()]
    rows = [r for r in rows if r]
    row_names = [r.group(1) for r in rows]
    if row_names != names:
        faults.append("index rows %s, command table %s" % (row_names, names))
    by_name = {r.group(1): r for r in rows}
    docs_sections = sections(md)

    for c in commands:
        name = c["name"]
        row = by_name.get(name)
        returns = None
        if row is None:
            faults.append("%s: no index row" % name)
        else:
            cells = [x.strip() for x in row.group(3).split("|")]
            if len(cells) != 7:
                faults.append("%s: index row has %d cells after the name" % (name, len(cells)))
            else:
                alias, returns, registered, needs_ref, condition, opcode, added = cells
                want = [c["alias"] or "—", c["registeredAs"], "yes" if c["needsReference"] else "no",
                        "yes" if c["condition"] else "no", c["opcode"]]
                got = [alias, registered, needs_ref, condition, opcode]
                if got != want:
                    faults.append("%s: index row says %s, the table %s" % (name, got, want))
                if RESULT_TYPES.get(returns) != c["registeredAs"]:
                    faults.append("%s: result type '%s' cannot be registered as %s"
                                  % (name, returns, c["registeredAs"]))
                if not added.isdigit() or int(added) > table["version"]:
                    faults.append("%s: version added '%s'" % (name, added))
            if row.group(2) != slug(name):
                faults.append("%s: index links to #%s" % (name, row.group(2)))

        bodies = docs_sections.get(name, [])
        if len(bodies) != 1:
            faults.append("%s: %d sections" % (name, len(bodies)))
            continue
        body = bodies[0]
        lines = re.findall(r"^    \((\w+)\) (\S.*?)\s*$", body, re.M)
        if len(lines) != 1:
            faults.append("%s: %d typed syntax lines" % (name, len(lines)))
        else:
            rtype, rest = lines[0]
            if rest != syntax_line(c):
                faults.append("%s: syntax '%s', the table gives '%s'" % (name, rest, syntax_line(c)))
            if returns is not None and rtype != returns:
                faults.append("%s: syntax returns (%s), the index %s" % (name, rtype, returns))
        for part in PARTS + (["**Parameters**"] if c["params"] else ["**Parameters:** none."]):
            if part not in body:
                faults.append("%s: no %s" % (name, part))
        params_text = body.partition("**Parameters")[2].partition("**Result")[0]
        for p in c["params"]:
            if "`%s`" % p["name"] not in params_text:
                faults.append("%s: parameter %s not described" % (name, p["name"]))

    for extra in sorted(set(docs_sections) - set(names)):
        faults.append("%s: section for a command the table does not have" % extra)

    own, other = anchors(md), anchors(concepts)
    for target in re.findall(r"\]\(#([\w\-]+)\)", md):
        if target not in own:
            faults.append("broken link #%s in commands.md" % target)
    for doc, text in (("commands.md", md), ("concepts.md", concepts)):
        for target in re.findall(r"\]\(concepts\.md#([\w\-]+)\)", text):
            if target not in other:
                faults.append("broken link concepts.md#%s in %s" % (target, doc))
        for target in re.findall(r"\]\(commands\.md#([\w\-]+)\)", text):
            if target not in own:
                faults.append("broken link commands.md#%s in %s" % (target, doc))
    return faults


def damaged_copies(md):
    """Each kind of fault the check must find, made in a copy of the reference."""
    yield "an index row dropped", re.sub(r"^\| \[CV_GetRandom\].*\n", "", md, count=1, flags=re.M)
    yield "an opcode changed", md.replace("| 0x2146 |", "| 0x2147 |", 1)
    yield "a return type that cannot be registered", md.replace(
        "| [CV_GetEVSt](#cv_getevst) | — | string |", "| [CV_GetEVSt](#cv_getevst) | — | int |", 1)
    yield "a parameter type changed", md.replace("(float) ref.CV_GetEVFl key:string",
                                                 "(float) ref.CV_GetEVFl key:int", 1)
    yield "an optional parameter shown as required", md.replace(
        "ref.CV_SetEVFl key:string val:float [persist:int]", "ref.CV_SetEVFl key:string val:float persist:int", 1)
    yield "the calling reference left out", md.replace("(int) ref.CV_IsUsingSkeleton",
                                                       "(int) CV_IsUsingSkeleton", 1)
    yield "a syntax type against the index", md.replace("    (int) CV_GetRandom", "    (float) CV_GetRandom", 1)
    yield "a part missing", re.sub(r"(## CV_GetSkeletonPath\n(?:.*\n)*?)\*\*Console:\*\*", r"\1Console:", md, count=1)
    yield "a section doubled", md + "\n## CV_GetVersion\n"
    yield "a broken link", md.replace("(#cv_getevfo)", "(#cv_getevfoo)", 1)


def main():
    generated_path, docs = sys.argv[1], sys.argv[2]
    with open(generated_path, encoding="utf-8") as f:
        generated = f.read()
    with open(docs + "/commands.json", encoding="utf-8") as f:
        committed = f.read()
    with open(docs + "/commands.md", encoding="utf-8") as f:
        md = f.read()
    with open(docs + "/concepts.md", encoding="utf-8") as f:
        concepts = f.read()
    table = json.loads(generated)

    undetected = [what for what, copy in damaged_copies(md) if copy == md or not check(table, copy, concepts)]
    if undetected:
        print("the check misses: " + "; ".join(undetected))
        return 1

    faults = []
    if committed != generated:
        faults.append("docs/commands.json differs from the command table's list (%s); "
                      "refresh it with the target update-commands-json" % generated_path)
    if len(table["commands"]) != 21:
        faults.append("the command table lists %d commands" % len(table["commands"]))
    faults += check(table, md, concepts)
    for fault in faults:
        print(fault)
    print("%d commands checked, %d faults" % (len(table["commands"]), len(faults)))
    return 1 if faults else 0


if __name__ == "__main__":
    sys.exit(main())
