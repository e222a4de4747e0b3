#!/usr/bin/env python3
"""Checks of the documentation that need no Wine.

check-docs.py links ROOT
    Every relative link in README.md and docs/*.md names a file that exists, every #anchor a heading
    of its page (GitHub's rule: lower case, punctuation dropped, spaces to '-', -1, -2... for
    repeats), and every page of docs/ is linked from README.md.
check-docs.py json-reference ROOT
    docs/output-and-json.md mentions, in code, everything docs/msitool-result.schema.json names: each
    property as parent.name (members[].keptHidden, summary.keptHidden; a top-level one alone), each
    string of an enum or const as a word in code (`showaddremoves`, `kept-hidden`), and each number
    of an enum or const. And every JSON document shown in README.md and docs/*.md (a ```json block,
    or the output of a /json run in a block) parses and is valid by the schema.
check-docs.py recipes ROOT
    Every ```yaml block of README.md and docs/*.md (Ansible tasks) passes `ansible-playbook
    --syntax-check` as the tasks of a play: module names, their arguments and the YAML itself.
Each prints one line per fault and ends with 1 when there is one.
"""
import json
import pathlib
import re
import subprocess
import sys
import tempfile

FENCE = re.compile(r"^ {0,3}(```|~~~)")
LINK = re.compile(r"(?<!!)\[(?:[^\]\\]|\\.)*\]\(([^)\s]+)(?:\s+\"[^\"]*\")?\)")
CODE_SPAN = re.compile(r"(`+)(.+?)\1")


def prose_lines(text):
    """The lines outside fenced code blocks, with their numbers."""
    fenced = False
    for number, line in enumerate(text.splitlines(), 1):
        if FENCE.match(line):
            fenced = not fenced
            continue
        if not fenced:
            yield number, line


def slug(heading):
    text = heading.strip().lower()
    text = re.sub(r"[^\w\- ]", "", text)
    return text.replace(" ", "-")


def anchors(path):
    seen = {}
    result = set()
    for _, line in prose_lines(path.read_text(encoding="utf-8")):
        match = re.match(r"^ {0,3}#{1,6}\s+(.*?)\s*#*\s*$", line)
        if not match:
            continue
        base = slug(match.group(1))
        count = seen.get(base, 0)
        seen[base] = count + 1
        result.add(base if count == 0 else f"{base}-{count}")
    return result


def check_links(root):
    pages = [root / "README.md"] + sorted((root / "docs").glob("*.md"))
    faults = []
    linked_from_readme = set()
    for page in pages:
        for number, line in prose_lines(page.read_text(encoding="utf-8")):
            for target in LINK.findall(CODE_SPAN.sub("", line)):
                if re.match(r"^[a-z][a-z0-9+.-]*:", target, re.I):
                    continue
                file_part, _, anchor = target.partition("#")
                where = f"{page.relative_to(root)}:{number}: {target}"
                destination = (page.parent / file_part).resolve() if file_part else page.resolve()
                if not destination.exists():
                    faults.append(f"{where}: no such file")
                    continue
                if page.name == "README.md" and page.parent == root:
                    linked_from_readme.add(destination)
                if anchor and anchor not in anchors(destination):
                    faults.append(f"{where}: no heading of {destination.name} makes #{anchor}")
    for page in pages[1:]:
        if page.resolve() not in linked_from_readme:
            faults.append(f"{page.relative_to(root)}: not linked from README.md")
    return faults


def schema_names(node, path, properties, words, numbers):
    """Walks the schema: each property's path (members[].keptHidden), enum and const values."""
    if isinstance(node, list):
        for item in node:
            schema_names(item, path, properties, words, numbers)
        return
    if not isinstance(node, dict):
        return
    for key, value in node.items():
        if key == "properties":
            for name, child in value.items():
                properties.add(path + (name,))
                schema_names(child, path + (name,), properties, words, numbers)
        elif key == "items":
            schema_names(value, path[:-1] + (path[-1] + "[]",) if path else path, properties, words,
                         numbers)
        elif key in ("enum", "const"):
            for item in value if key == "enum" else [value]:
                if isinstance(item, str):
                    words.add(item)
                elif isinstance(item, int) and not isinstance(item, bool):
                    numbers.add(item)
        elif key in ("$defs", "description", "title", "pattern", "$schema", "$id"):
            continue
        elif isinstance(value, (dict, list)):
            schema_names(value, path, properties, words, numbers)


def resolve_refs(node, defs, depth=0):
    """The schema with every #/$defs/ reference replaced by its definition."""
    if depth > 20:
        raise ValueError("a $ref cycle in the schema")
    if isinstance(node, list):
        return [resolve_refs(item, defs, depth) for item in node]
    if not isinstance(node, dict):
        return node
    result = {}
    for key, value in node.items():
        if key == "$ref":
            name = value.removeprefix("#/$defs/")
            result.setdefault("allOf", []).append(resolve_refs(defs[name], defs, depth + 1))
        elif key == "$defs":
            continue
        else:
            result[key] = resolve_refs(value, defs, depth)
    return result


def code_blocks(text):
    """(line number, info string, lines) of each fenced code block."""
    block = None
    for number, line in enumerate(text.splitlines(), 1):
        fence = FENCE.match(line)
        if fence and block is None:
            block = (number, line.strip().lstrip("`~").strip(), [])
        elif fence:
            yield block
            block = None
        elif block is not None:
            block[2].append(line)


def json_examples(root):
    """(where, document text) of each JSON document the pages show."""
    for page in [root / "README.md"] + sorted((root / "docs").glob("*.md")):
        for number, info, lines in code_blocks(page.read_text(encoding="utf-8")):
            starts = [i for i, line in enumerate(lines) if line == "{"]
            if info == "json" or (starts and any("/json" in line for line in lines[:starts[0]])):
                first = starts[0] if starts else 0
                yield f"{page.relative_to(root)}:{number}", "\n".join(lines[first:])


def check_json_examples(root, schema):
    import jsonschema  # Debian's python3-jsonschema, as the tests' own documents are checked with
    validator = jsonschema.Draft202012Validator(schema)
    faults = []
    for where, document in json_examples(root):
        try:
            parsed = json.loads(document)
        except json.JSONDecodeError as error:
            faults.append(f"{where}: the JSON example does not parse: {error}")
            continue
        for error in validator.iter_errors(parsed):
            faults.append(f"{where}: the JSON example breaks the schema at "
                          f"{'/'.join(map(str, error.absolute_path))}: {error.message}")
    return faults


def check_json_reference(root):
    schema = json.loads((root / "docs" / "msitool-result.schema.json").read_text(encoding="utf-8"))
    page = root / "docs" / "output-and-json.md"
    properties, words, numbers = set(), set(), set()
    schema_names(resolve_refs(schema, schema.get("$defs", {})), (), properties, words, numbers)

    text = page.read_text(encoding="utf-8")
    spans = [span for _, line in prose_lines(text) for _, span in CODE_SPAN.findall(line)]
    # members[].keptHidden and members.keptHidden name one field; a span may hold several names.
    code = " ".join(span.replace("[]", "") for span in spans)
    code_words = set(re.findall(r"[A-Za-z0-9][A-Za-z0-9.\-]*", code))
    all_words = {part for word in code_words for part in re.split(r"\.", word)} | code_words

    faults = []
    for path in sorted(properties):
        parts = [part.removesuffix("[]") for part in path]
        wanted = parts[-1] if len(parts) == 1 else f"{parts[-2]}.{parts[-1]}"
        if not re.search(rf"(?<!\w){re.escape(wanted)}(?!\w)", code):
            faults.append(f"{page.name}: the property {'.'.join(path)} is not described"
                          f" (write `{'.'.join(path[-2:])}`)")
    for word in sorted(words):
        if word not in all_words:
            faults.append(f"{page.name}: the value \"{word}\" is not described (write `{word}`)")
    for number in sorted(numbers):
        if not re.search(rf"(?<![\d.]){number}(?![\d])", text):
            faults.append(f"{page.name}: the value {number} is not described")
    return faults + check_json_examples(root, schema)


def check_recipes(root):
    """The Ansible tasks the pages show, each block as the tasks of one play, syntax-checked."""
    faults, blocks = [], 0
    for page in [root / "README.md"] + sorted((root / "docs").glob("*.md")):
        for number, info, lines in code_blocks(page.read_text(encoding="utf-8")):
            if info != "yaml":
                continue
            blocks += 1
            play = "- hosts: all\n  gather_facts: false\n  tasks:\n" + "".join(
                f"    {line}\n" if line else "\n" for line in lines)
            with tempfile.NamedTemporaryFile("w", suffix=".yml", encoding="utf-8") as file:
                file.write(play)
                file.flush()
                checked = subprocess.run(["ansible-playbook", "--syntax-check", "-i", "localhost,", file.name],
                                         stdout=subprocess.PIPE, stderr=subprocess.STDOUT, text=True)
            if checked.returncode != 0:
                faults.append(f"{page.relative_to(root)}:{number}: ansible-playbook --syntax-check: "
                              + checked.stdout.strip().splitlines()[0])
    if blocks == 0:
        faults.append("no ```yaml block of Ansible tasks found: the recipes are no longer checked")
    return faults


def main(argv):
    checks = {"links": check_links, "json-reference": check_json_reference, "recipes": check_recipes}
    if len(argv) != 3 or argv[1] not in checks:
        print("usage: check-docs.py links|json-reference|recipes ROOT", file=sys.stderr)
        return 2
    root = pathlib.Path(argv[2])
    faults = checks[argv[1]](root)
    for fault in faults:
        print(fault)
    return 1 if faults else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
