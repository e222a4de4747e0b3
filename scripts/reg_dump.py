#!/usr/bin/env python3
"""The one reader of `reg query KEY /s` output, for the demo and the benchmark.

  reg_dump.py entry DUMP PRODUCT_CODE   prints "name|version|hidden" (hidden is yes or no) for the
                                        product's key in the dump, nothing when the key is absent
"""
import sys


def parse_dump(text):
    """{KEY NAME (upper case): {value name: data}} from the text of `reg query ... /s`."""
    keys = {}
    current = None
    for raw in text.splitlines():
        line = raw.rstrip("\r")
        if line.startswith("HKEY_"):
            current = keys.setdefault(line.rsplit("\\", 1)[-1].upper(), {})
        elif line.startswith("    ") and current is not None:
            # reg separates name, type and data by four spaces; the data may hold spaces itself.
            parts = line.strip().split("    ", 2)
            current[parts[0]] = parts[2] if len(parts) > 2 else ""
    return keys


def read_dump(path):
    with open(path, encoding="utf-8", errors="replace") as file:
        return parse_dump(file.read())


def main(argv):
    if len(argv) == 4 and argv[1] == "entry":
        values = read_dump(argv[2]).get(argv[3].upper())
        if values is not None and ("DisplayName" in values or "DisplayVersion" in values):
            hidden = "yes" if values.get("SystemComponent") == "0x1" else "no"
            print(f"{values.get('DisplayName', '')}|{values.get('DisplayVersion', '')}|{hidden}")
        return 0
    print(__doc__, file=sys.stderr)
    return 2


if __name__ == "__main__":
    sys.exit(main(sys.argv))
