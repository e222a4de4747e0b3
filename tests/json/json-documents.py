#!/usr/bin/env python3
"""json-documents.py clear|validate DIR [SCHEMA]: the JSON documents that the tests' runs of msitool
wrote into DIR (one file each), checked against the schema with Debian's jsonschema.

clear empties DIR before the tests. validate checks the schema itself, parses every document
strictly (one document, UTF-8 without BOM, ending in a line end), validates it, and fails unless the
documents together show every action, every exit code, every member result and every context; so a
test that stopped writing its documents cannot pass unseen."""
import json
import pathlib
import shutil
import sys

import jsonschema

REQUIRED_ACTIONS = {"list", "hide", "uninstall", "families", "showaddremoves"}
REQUIRED_EXIT_CODES = {0, 5, 110, 1603, 1618, 3010}
REQUIRED_RESULTS = {"hidden", "kept-newest", "no-entry", "not-hidden", "removed", "removed-from-copy",
                    "kept-keepnewest", "not-removed", "blocked", "gone", "shown", "already-visible", "kept-hidden",
                    "other-user"}
REQUIRED_CONTEXTS = {"per-machine", "per-user", "other-user"}


def reject_constant(name):
    raise ValueError(f"not JSON: {name}")


def reject_duplicate_keys(pairs):
    # json keeps the last of two equal keys, so a schema object with two "allOf" silently loses one.
    keys = [key for key, _ in pairs]
    duplicates = sorted({key for key in keys if keys.count(key) > 1})
    if duplicates:
        raise ValueError(f"duplicate keys: {duplicates}")
    return dict(pairs)


def read_document(path):
    data = path.read_bytes()
    if data.startswith(b"\xef\xbb\xbf"):
        raise ValueError("starts with a byte order mark")
    if not data.endswith(b"\n"):
        raise ValueError("does not end with a line end")
    # Strict: the whole text is one document, in UTF-8, with no NaN or Infinity.
    return json.loads(data.decode("utf-8", errors="strict"), parse_constant=reject_constant,
                      object_pairs_hook=reject_duplicate_keys)


def validate(folder, schema_path):
    schema = json.loads(pathlib.Path(schema_path).read_text(encoding="utf-8"), object_pairs_hook=reject_duplicate_keys)
    jsonschema.Draft202012Validator.check_schema(schema)
    validator = jsonschema.Draft202012Validator(schema)
    documents = sorted(pathlib.Path(folder).glob("*.json"))
    failures = 0
    actions, exit_codes, results, contexts = set(), set(), set(), set()
    for path in documents:
        try:
            document = read_document(path)
        except ValueError as error:
            print(f"{path.name}: {error}")
            failures += 1
            continue
        errors = sorted(validator.iter_errors(document), key=lambda e: list(e.absolute_path))
        for error in errors:
            print(f"{path.name}: {'/'.join(map(str, error.absolute_path))}: {error.message}")
        failures += len(errors) > 0
        actions.add(document.get("action"))
        exit_codes.add(document.get("exitCode"))
        results.update(member.get("result") for member in document.get("members", []) if "result" in member)
        listed = (document.get("members") or []) + [member for family in document.get("families") or []
                                                     for member in family.get("members") or []]
        contexts.update(member.get("context") for member in listed)
    for what, missing in (("actions", REQUIRED_ACTIONS - actions), ("exit codes", REQUIRED_EXIT_CODES - exit_codes),
                          ("results", REQUIRED_RESULTS - results), ("contexts", REQUIRED_CONTEXTS - contexts)):
        if missing:
            print(f"no document shows these {what}: {sorted(missing)}")
            failures += 1
    print(f"{len(documents)} documents, {failures} failures")
    return failures == 0


def main():
    action, folder = sys.argv[1], sys.argv[2]
    if action == "clear":
        shutil.rmtree(folder, ignore_errors=True)
        pathlib.Path(folder).mkdir(parents=True)
        return 0
    return 0 if validate(folder, sys.argv[3]) else 1


if __name__ == "__main__":
    sys.exit(main())
