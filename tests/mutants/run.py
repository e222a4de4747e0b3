#!/usr/bin/env python3
"""Replays written faults (mutants) against the test suite: tests/mutants/run.py MUTANTS.json [ID ...]

Each mutant is {"id", "file", "find", "replace", "fault"}: one exact-text edit of a product file.
For each one: apply the edit, rebuild the test programs, run the ones that can see the edited
folder, and put the file back whatever happened. A mutant is caught when a test fails (or the
edit no longer compiles, which is reported apart). Prints one line a mutant and the score.
MSITOOL_MUTANT_BUILD picks the build folder (default build/windows-x64, configured already).
"""
import json
import os
import subprocess
import sys

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
BUILD = os.environ.get("MSITOOL_MUTANT_BUILD", os.path.join(ROOT, "build", "windows-x64"))

# The test programs that can see a fault in each product folder; the end-to-end programs run the
# whole tool, so they see every folder.
WHOLE_TOOL = ["endtoend_tests", "executable_tests", "json_documents_valid"]
TESTS_BY_FOLDER = {
    "common": ["common_tests", "app_tests", "products_tests", "security_tests", "registry_tests", "console_tests"],
    "installer": ["products_tests"],
    "registry": ["registry_tests", "products_tests"],
    "security": ["security_tests", "app_tests"],
    "products": ["products_tests", "app_tests"],
    "app": ["app_tests"],
}


def run(command):
    return subprocess.run(command, cwd=ROOT, stdout=subprocess.PIPE, stderr=subprocess.STDOUT, text=True)


def replay(mutant):
    """'caught', 'survived', 'no-compile' or 'bad-edit' for one mutant; the file is restored."""
    path = os.path.join(ROOT, mutant["file"])
    with open(path, encoding="utf-8", newline="") as file:
        original = file.read()
    if original.count(mutant["find"]) != 1:
        return "bad-edit"
    try:
        with open(path, "w", encoding="utf-8", newline="") as file:
            file.write(original.replace(mutant["find"], mutant["replace"]))
        tests = TESTS_BY_FOLDER[mutant["file"].split("/")[0]] + WHOLE_TOOL
        programs = [name for name in tests if name != "json_documents_valid"]
        if run(["cmake", "--build", BUILD, "-j2", "--target", *programs, "msitool"]).returncode != 0:
            return "no-compile"
        # The end-to-end programs are slow: they run only when the folder's own tests pass. The
        # documents' schema check needs every program that writes documents, so it waits for
        # the second stage, where the app tests run again beside the end-to-end ones.
        stages = ((TESTS_BY_FOLDER[mutant["file"].split("/")[0]], ["-FC", "json_documents"]),
                  (WHOLE_TOOL + ["app_tests"], []))
        for stage, options in stages:
            pattern = "^(" + "|".join(stage) + ")$"
            if run(["ctest", "--test-dir", BUILD, "-j2", "-R", pattern, *options]).returncode != 0:
                return "caught"
        return "survived"
    finally:
        with open(path, "w", encoding="utf-8", newline="") as file:
            file.write(original)


def main():
    with open(sys.argv[1], encoding="utf-8") as file:
        mutants = json.load(file)
    wanted = set(sys.argv[2:])
    results = {}
    for mutant in mutants:
        if wanted and mutant["id"] not in wanted:
            continue
        results[mutant["id"]] = replay(mutant)
        print(f"{mutant['id']} {results[mutant['id']]:10} {mutant['file']}: {mutant['fault']}", flush=True)
    # Put the build back in step with the restored sources.
    run(["cmake", "--build", BUILD, "-j2"])
    judged = [r for r in results.values() if r in ("caught", "survived", "no-compile")]
    caught = sum(r in ("caught", "no-compile") for r in judged)
    print(f"caught {caught} of {len(judged)} ({sum(r == 'no-compile' for r in judged)} did not compile, "
          f"{sum(r == 'bad-edit' for r in results.values())} edits not found)")


if __name__ == "__main__":
    main()
