#!/usr/bin/env python3
"""Small helpers for bench/run.sh: family codes, registry dump checks, medians and the result tables.

  helper.py family SIZE                      codes of a bench family, one tab-separated line a member
  helper.py check STATE FAMILY DUMP32 DUMP64 [PREFIX]
                                             STATE is installed, hidden or removed; exits 1 with the
                                             reasons on stderr when the registry (and, for removed, the
                                             Program Files folders under PREFIX) is not in that state
  helper.py median SECONDS...                the median, in seconds
  helper.py report RESULTS STARTUP           the Markdown tables from the raw samples
"""
import os
import statistics
import sys
import uuid

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "scripts"))
from reg_dump import read_dump  # noqa: E402

# Fixed namespace, so that the packages and their codes are the same from one run to the next.
NAMESPACE = uuid.UUID("6f0c2a8e-3d41-4b7a-9c55-1e2f7a9b0c31")


def guid(name):
    return "{" + str(uuid.uuid5(NAMESPACE, name)).upper() + "}"


def family(size):
    """Yields (index, version, arch, product code, component code, folder); upgrade code comes first."""
    upgrade = guid(f"bench-family-{size}")
    members = []
    for index in range(1, size + 1):
        # Odd members are x86 (32-bit view), even ones x64 (64-bit view); the newest is number SIZE.
        arch = "x86" if index % 2 else "x64"
        members.append((index, f"{index}.0.0", arch, guid(f"bench-family-{size}-product-{index}"),
                        guid(f"bench-family-{size}-component-{index}"), f"quorvin-bench-{size}-{index}"))
    return upgrade, members


def read_family(path):
    with open(path, encoding="utf-8") as file:
        lines = [line.rstrip("\n").split("\t") for line in file if line.strip()]
    upgrade = lines[0][1]
    members = [(int(f[0]), f[1], f[2], f[3], f[4], f[5]) for f in lines[1:]]
    return upgrade, members


def check(state, family_path, dump32, dump64, prefix=None):
    _, members = read_family(family_path)
    views = {"x86": read_dump(dump32), "x64": read_dump(dump64)}
    newest = max(members, key=lambda m: m[0])
    problems = []
    for index, version, arch, product, _, folder in members:
        own = views[arch].get(product.upper())
        other = views["x64" if arch == "x86" else "x86"].get(product.upper())
        if state == "removed":
            for view, entry in (("32", views["x86"].get(product.upper())),
                                ("64", views["x64"].get(product.upper()))):
                if entry is not None:
                    problems.append(f"member {index} {product}: uninstall key still there ({view}-bit view)")
            if prefix:
                program_files = "Program Files (x86)" if arch == "x86" else "Program Files"
                path = os.path.join(prefix, "drive_c", program_files, folder)
                if os.path.exists(path):
                    problems.append(f"member {index} {product}: folder {path} still there")
            continue
        if own is None or "DisplayName" not in own:
            problems.append(f"member {index} {product}: no uninstall entry with DisplayName in its view")
            continue
        if other is not None:
            problems.append(f"member {index} {product}: unexpected uninstall key in the other view")
        hidden = own.get("SystemComponent")
        if state == "installed" and hidden is not None:
            problems.append(f"member {index} {product}: SystemComponent already set ({hidden})")
        if state == "hidden":
            want = None if index == newest[0] else "0x1"
            if hidden != want:
                problems.append(f"member {index} {product}: SystemComponent is {hidden}, expected {want}")
    for problem in problems[:20]:
        print("  " + problem, file=sys.stderr)
    if len(problems) > 20:
        print(f"  ... and {len(problems) - 20} more", file=sys.stderr)
    return 1 if problems else 0


def median(values):
    return statistics.median(float(v) for v in values)


def fmt(seconds):
    return f"{seconds:.3f}"


def spread(values):
    return f"{fmt(min(values))}-{fmt(max(values))}"


def report(results_path, startup_path):
    # results: operation, size, side (tool|loop), repetition, seconds, wine invocations
    samples = {}
    invocations = {}
    with open(results_path, encoding="utf-8") as file:
        for line in file:
            if not line.strip():
                continue
            operation, size, side, _, seconds, calls = line.rstrip("\n").split("\t")
            samples.setdefault((operation, int(size), side), []).append(float(seconds))
            invocations[(operation, int(size), side)] = int(calls)
    print("| operation | size | reps | msitool median (s) | msitool min-max | loop median (s) | loop min-max "
          "| loop wine calls | loop/tool |")
    print("|---|---:|---:|---:|---:|---:|---:|---:|---:|")
    for operation in ("hideoldaddremoves", "uninstall"):
        for size in sorted({k[1] for k in samples if k[0] == operation}):
            tool = samples.get((operation, size, "tool"), [])
            loop = samples.get((operation, size, "loop"), [])
            if not tool or not loop:
                continue
            tool_median, loop_median = median(tool), median(loop)
            calls = invocations[(operation, size, "loop")]
            if calls == 0:
                ratio = "n/a (loop has nothing to do)"
            elif tool_median > 0:
                ratio = f"{loop_median / tool_median:.2f}"
            else:
                ratio = "n/a"
            print(f"| {operation} | {size} | {len(tool)} | {fmt(tool_median)} | {spread(tool)} | "
                  f"{fmt(loop_median)} | {spread(loop)} | {calls} | {ratio} |")
    print()
    print("| program | size (bytes) | runs | start-up median (s) | min-max |")
    print("|---|---:|---:|---:|---:|")
    with open(startup_path, encoding="utf-8") as file:
        rows = {}
        sizes = {}
        for line in file:
            if not line.strip():
                continue
            name, size, seconds = line.rstrip("\n").split("\t")
            rows.setdefault(name, []).append(float(seconds))
            sizes[name] = size
    for name, values in rows.items():
        print(f"| {name} | {sizes[name]} | {len(values)} | {fmt(median(values))} | {spread(values)} |")


def main(argv):
    command = argv[1] if len(argv) > 1 else ""
    if command == "family" and len(argv) == 3:
        upgrade, members = family(int(argv[2]))
        print(f"upgrade\t{upgrade}")
        for member in members:
            print("\t".join(str(field) for field in member))
        return 0
    if command == "check" and len(argv) in (6, 7):
        return check(argv[2], argv[3], argv[4], argv[5], argv[6] if len(argv) == 7 else None)
    if command == "median" and len(argv) > 2:
        print(fmt(median(argv[2:])))
        return 0
    if command == "report" and len(argv) == 4:
        report(argv[2], argv[3])
        return 0
    print(__doc__, file=sys.stderr)
    return 2


if __name__ == "__main__":
    sys.exit(main(sys.argv))
