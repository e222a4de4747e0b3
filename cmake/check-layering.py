#!/usr/bin/env python3
"""Fails when a product file includes a header from its own level of the stack or above.

  check-layering.py SOURCE_DIR
The stack, lowest first: common/ < installer/, registry/ < security/, products/ < app/. A file may
include headers of its own folder and of lower levels only.
"""
import pathlib
import re
import sys

LEVELS = {"common": 0, "installer": 1, "registry": 1, "security": 2, "products": 2, "app": 3}
INCLUDE = re.compile(r'^\s*#\s*include\s+"([a-z]+)/')


def main(root):
    problems = []
    for folder, level in LEVELS.items():
        for path in sorted((root / folder).glob("*")):
            if path.suffix not in (".h", ".cpp", ".in"):
                continue
            for number, line in enumerate(path.read_text(encoding="utf-8").splitlines(), 1):
                match = INCLUDE.match(line)
                if not match or match.group(1) == folder:
                    continue
                included = match.group(1)
                if included not in LEVELS or LEVELS[included] >= level:
                    problems.append(f"{path.relative_to(root)}:{number}: {folder}/ includes {included}/")
    for problem in problems:
        print(problem)
    print(f"{len(problems)} layering violation(s)")
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main(pathlib.Path(sys.argv[1])))
