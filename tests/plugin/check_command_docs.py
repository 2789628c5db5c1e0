#!/usr/bin/env python3
"""Checks the command reference against the command table.

    check_command_docs.py GENERATED_JSON DOCS_DIR [PAGE...]

GENERATED_JSON is the list the build wrote from the plug-in's command table;
DOCS_DIR holds the committed commands.json, commands.md and concepts.md; the
PAGEs are further pages that speak of the commands (the changelog, the
READMEs). The check fails when the committed list differs from the generated
one, or when commands.md lacks, adds or contradicts a command: its index row,
its section, its typed syntax line, its parts, its result, and its examples,
which must declare their variables and test a reference before calling on
it. A command whose key is a text cannot be given it in a condition (a
condition holds two 4-byte words): no page may say that such a command, or
one the table does not register for conditions, works in conditions. Every
run first makes sure that each kind of fault it looks for is found in a
damaged copy of the pages."""

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


# A statement that a command works in conditions, and the words that limit
# such a statement to "it can be picked there, but gets no key".
CONDITION_CLAIM = re.compile(
    r"\b(?:usable|used|works?|picked|pick|chosen|choose|called)\b[^.;:]{0,30}?\bin (?:a |an |the |game |dialogue )?conditions?\b",
    re.I)
NEGATION = re.compile(r"\b(?:not|never|cannot|can't|no)\b", re.I)
NO_KEY = re.compile(r"cannot be given (?:a |its |the )?key|\bno key\b|no room for (?:a )?text|holds? no text", re.I)
DECLARATION = re.compile(r"^\s*(ref|float|int|short|long|string_var|array_var)\s+(\w+)\s*$")
VARIABLE = re.compile(r"\b[abfirs][A-Z]\w*\b")


def takes_text(command):
    return any(p["type"] == "string" for p in command["params"])


def condition_cell(command):
    if not command["condition"]:
        return "no"
    return "no key" if takes_text(command) else "yes"


def statements(text):
    """Sentences, list items and table rows, each as one string."""
    out = []
    for block in re.split(r"\n\s*\n|\n(?=\s*[-*] )|\n(?=\|)|\n(?=\d+\. )", text):
        out += [x for x in re.split(r"(?<=[.!?])\s+(?=[A-Z`*\[(\"])", block.replace("\n", " ")) if x.strip()]
    return out


def claims_condition_use(statement):
    for m in CONDITION_CLAIM.finditer(statement):
        if not NEGATION.search(statement[max(0, m.start() - 40):m.end()]):
            return True
    return False


def mentions(statement, command):
    names = [command["name"]] + ([command["alias"]] if command["alias"] else [])
    return any(re.search(r"(?<![\w#])%s(?!\w)" % re.escape(n), statement) for n in names)


def condition_faults(commands, pages):
    """Statements on any page that call a command usable in conditions when it
    is not registered for them, or cannot be given its key there."""
    faults = []
    for page, text in pages.items():
        for statement in statements(text):
            if not claims_condition_use(statement) or NO_KEY.search(statement):
                continue
            for c in commands:
                if mentions(statement, c) and condition_cell(c) != "yes":
                    faults.append("%s: says %s works in conditions: '%s'" % (page, c["name"], statement[:120]))
    return faults


def example_faults(name, body, command):
    """The example's variables are declared, and a reference is tested before
    a command is called on it."""
    faults = []
    code = body.partition("**Example**")[2].partition("**Notes**")[0]
    lines = [re.sub(r'"[^"]*"', '""', l.partition(";")[0]) for l in code.splitlines() if l.startswith("    ")]
    declared = {}
    tested = set()
    for line in lines:
        d = DECLARATION.match(line)
        if d:
            declared[d.group(2)] = d.group(1)
            continue
        t = re.match(r"^\s*if\s+(?:IsFormValid\s+)?(\w+)\s*$", line)
        if t:
            tested.add(t.group(1))
        for v in VARIABLE.findall(line):
            if v not in declared:
                faults.append("%s: the example uses %s without declaring it" % (name, v))
        for ref in re.findall(r"\b(\w+)\.CV_\w+", line):
            if declared.get(ref) == "ref" and ref not in tested:
                faults.append("%s: the example calls on %s before testing it" % (name, ref))
        if command["needsReference"] and re.search(r"(?<![.\w])%s\b" % command["name"], line):
            faults.append("%s: the example calls it without a reference" % name)
    return sorted(set(faults))


def syntax_line(command):
    words = ["reference." + command["name"] if command["needsReference"] else command["name"]]
    for p in command["params"]:
        word = "%s:%s" % (p["name"], p["type"])
        words.append("[%s]" % word if p["optional"] else word)
    return " ".join(words)


def check(table, md, concepts, pages=None):
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
                        condition_cell(c), c["opcode"]]
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
        result_text = body.partition("**Result:**")[2].strip()
        if lines and lines[0][0] == "nothing" and not result_text.startswith("none"):
            faults.append("%s: returns (nothing), but its result is '%s'" % (name, result_text[:40]))
        notes = [x for x in statements(body) if claims_condition_use(x) and not NO_KEY.search(x)]
        cell = condition_cell(c)
        if cell == "yes" and not notes:
            faults.append("%s: usable in conditions, and its page does not say so" % name)
        if cell != "yes" and notes:
            faults.append("%s: its page says it works in conditions: '%s'" % (name, notes[0][:120]))
        if cell == "no key" and not (NO_KEY.search(" ".join(body.split())) and "(#cv_getqvevfl)" in body):
            faults.append("%s: its page does not say that a condition cannot give its key, "
                          "nor point to CV_GetQVEVFl" % name)
        faults += example_faults(name, body, c)

    pages = dict(pages or {})
    pages["commands.md"] = md
    pages["concepts.md"] = concepts
    faults += condition_faults(commands, pages)

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


def damaged_copies(md, concepts, pages):
    """Each kind of fault the check must find, made in a copy of the pages:
    (what, commands.md, concepts.md, the other pages)."""
    def page(name, text):
        changed = dict(pages)
        changed[name] = text
        return changed

    def in_md(what, copy):
        return what, copy, concepts, pages

    yield in_md("an index row dropped", re.sub(r"^\| \[CV_GetRandom\].*\n", "", md, count=1, flags=re.M))
    yield in_md("an opcode changed", md.replace("| 0x2146 |", "| 0x2147 |", 1))
    yield in_md("a return type that cannot be registered", md.replace(
        "| [CV_GetEVSt](#cv_getevst) | — | string |", "| [CV_GetEVSt](#cv_getevst) | — | int |", 1))
    yield in_md("a parameter type changed", md.replace("(float) reference.CV_GetEVFl key:string",
                                                       "(float) reference.CV_GetEVFl key:int", 1))
    yield in_md("an optional parameter shown as required", md.replace(
        "reference.CV_SetEVFl key:string val:float [persist:int]", "reference.CV_SetEVFl key:string val:float persist:int", 1))
    yield in_md("the calling reference left out", md.replace("(int) reference.CV_IsUsingSkeleton",
                                                             "(int) CV_IsUsingSkeleton", 1))
    yield in_md("the calling reference not written as the GECK wiki does", md.replace(
        "(int) reference.CV_IsUsingSkeleton", "(int) ref.CV_IsUsingSkeleton", 1))
    yield in_md("a syntax type against the index", md.replace("    (int) CV_GetRandom", "    (float) CV_GetRandom", 1))
    yield in_md("a part missing", re.sub(r"(## CV_GetSkeletonPath\n(?:.*\n)*?)\*\*Console:\*\*", r"\1Console:", md, count=1))
    yield in_md("a section doubled", md + "\n## CV_GetVersion\n")
    yield in_md("a broken link", md.replace("(#cv_getevfo)", "(#cv_getevfoo)", 1))
    yield in_md("a command that returns nothing given a result", md.replace(
        "**Result:** none: the command does not tell what it removed", "**Result:** always 0; the command does not tell what it removed", 1))
    yield in_md("a condition claim on a command with a text parameter", re.sub(
        r"- \*\*Not for conditions\.\*\*(?:.*\n)*?(?=- |\n)", "- Usable in conditions as `GetEVFl`.\n", md, count=1))
    yield in_md("the index saying a keyed command works in conditions", md.replace(
        "| GetEVFl | float | number | yes | no key |", "| GetEVFl | float | number | yes | yes |", 1))
    yield in_md("a condition claim on a command the table does not register for them", md.replace(
        "- The form id is handed back as stored", "- Usable in conditions too.\n- The form id is handed back as stored", 1))
    yield in_md("the condition command's page silent on conditions", md.replace(
        "- Usable in conditions as `GetQVEVFl`", "- Read", 1))
    yield in_md("an example's variable not declared", md.replace("    ref rActor\n    float fLockpick\n", "    ref rActor\n", 1))
    yield in_md("an example calling on a reference it did not test", md.replace(
        "    if rActor\n      let sNick", "    if 1\n      let sNick", 1))
    yield ("a condition claim in concepts.md", md,
           concepts.replace("## Conditions\n", "## Conditions\n\n`CV_GetEVFl` also works in conditions.\n", 1), pages)
    for name in sorted(pages):
        yield ("a condition claim in " + name, md, concepts,
               page(name, pages[name] + "\n- `CV_GetEVFl` and `CV_GetQVEVFl` also work in conditions.\n"))


def main():
    generated_path, docs, others = sys.argv[1], sys.argv[2], sys.argv[3:]
    with open(generated_path, encoding="utf-8") as f:
        generated = f.read()
    with open(docs + "/commands.json", encoding="utf-8") as f:
        committed = f.read()
    with open(docs + "/commands.md", encoding="utf-8") as f:
        md = f.read()
    with open(docs + "/concepts.md", encoding="utf-8") as f:
        concepts = f.read()
    pages = {}
    for path in others:
        with open(path, encoding="utf-8") as f:
            pages[path.rsplit("/", 1)[-1]] = f.read()
    table = json.loads(generated)

    faults = []
    if committed != generated:
        faults.append("docs/commands.json differs from the command table's list (%s); "
                      "refresh it with the target update-commands-json" % generated_path)
    if len(table["commands"]) != 21:
        faults.append("the command table lists %d commands" % len(table["commands"]))
    as_they_are = check(table, md, concepts, pages)
    faults += as_they_are

    # A damaged copy is caught when the check finds a fault in it that it does
    # not find in the pages as they are (which may hold that fault already).
    for what, copy, concepts_copy, pages_copy in damaged_copies(md, concepts, pages):
        if (copy, concepts_copy, pages_copy) == (md, concepts, pages):
            faults.append("the self-test could not make a damaged copy: %s" % what)
        elif not set(check(table, copy, concepts_copy, pages_copy)) - set(as_they_are):
            faults.append("the check misses %s (unless the pages have that fault already)" % what)

    for fault in faults:
        print(fault)
    print("%d commands checked, %d faults" % (len(table["commands"]), len(faults)))
    return 1 if faults else 0


if __name__ == "__main__":
    sys.exit(main())
