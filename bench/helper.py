#!/usr/bin/env python3
"""Small helpers for bench/run.sh: family codes, registry dump checks, medians and the result tables.

  helper.py family SIZE                      codes of a bench family, one tab-separated line a member
  helper.py products SIZE                    SIZE products for /families: families of 1 to 5 members
                                             and products without an upgrade code, a line each
  helper.py check STATE FAMILY DUMP32 DUMP64 [PREFIX]
                                             STATE is installed, hidden (every member but the newest),
                                             all-hidden, shown (no member hidden, as installed) or
                                             removed; exits 1 with the reasons on stderr when the
                                             registry (and, for removed, the Program Files folders
                                             under PREFIX) is not in that state
  helper.py listed OPERATION FAMILY OUTPUT   exits 1 unless the output of /list (OPERATION list) or
                                             /list /json (list-json) names every member of FAMILY
  helper.py families-listed SIDE PRODUCTS OUTPUT
                                             exits 1 unless the output of /families (SIDE tool) or of
                                             floor-families.exe (floor) lists each product once, in
                                             its own family or without one
  helper.py median SECONDS...                the median, in seconds
  helper.py report RESULTS STARTUP SIZES     the Markdown tables from the raw samples and the sizes
                                             of the executables (a preset and its bytes a line)
"""
import json
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


# The families /families finds, in turn until the products run out: a number of members, 0 for a
# product without an upgrade code. 17 products a round, 2 of them without a family.
FAMILY_ROUND = (1, 2, 0, 3, 4, 0, 5)


def products(size):
    """Yields (index, version, arch, product code, component code, folder, upgrade code or "-", name)
    for SIZE products; the last family may have fewer members than its turn says."""
    index = family = 0
    while index < size:
        for members in FAMILY_ROUND:
            if index == size:
                break
            family += 1
            upgrade = guid(f"bench-families-{size}-upgrade-{family}") if members else "-"
            name = f"Quorvin Families {size} F{family:03d}" if members else f"Quorvin Families {size} Solo {family:03d}"
            for member in range(1, max(members, 1) + 1):
                if index == size:
                    break
                index += 1
                # Odd products are x86 (32-bit view), even ones x64 (64-bit view), so families mix both.
                yield (index, f"{member}.0.0", "x86" if index % 2 else "x64",
                       guid(f"bench-families-{size}-product-{index}"),
                       guid(f"bench-families-{size}-component-{index}"),
                       f"quorvin-families-{size}-{index}", upgrade, name)


def read_family(path):
    """The upgrade code of a family file (None for a products file) and its members' first six fields."""
    with open(path, encoding="utf-8") as file:
        lines = [line.rstrip("\n").split("\t") for line in file if line.strip()]
    upgrade = next((f[1] for f in lines if f[0] == "upgrade"), None)
    members = [(int(f[0]), f[1], f[2], f[3], f[4], f[5]) for f in lines if f[0] != "upgrade"]
    return upgrade, members


CHECK_STATES = ("installed", "hidden", "all-hidden", "shown", "removed")


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
        if state == "shown" and hidden is not None:
            problems.append(f"member {index} {product}: still hidden (SystemComponent {hidden})")
        if state in ("hidden", "all-hidden"):
            want = None if state == "hidden" and index == newest[0] else "0x1"
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


def listed(operation, family_path, output_path):
    _, members = read_family(family_path)
    with open(output_path, encoding="utf-8") as file:
        text = file.read()
    if operation == "list-json":
        document = json.loads(text)
        named = [member["productCode"] for member in document["members"]]
        ok = document["exitCode"] == 0
    else:
        named = [line.split(" ", 1)[0] for line in text.splitlines() if line.startswith("{")]
        ok = True
    missing = sorted({m[3].upper() for m in members} - {code.upper() for code in named})
    if missing or len(named) != len(members) or not ok:
        print(f"  {len(named)} rows for {len(members)} members; missing {missing[:3]}", file=sys.stderr)
        return 1
    return 0


def families_listed(side, products_path, output_path):
    """Each product once, under its own upgrade code or without one, and nothing else."""
    with open(products_path, encoding="utf-8") as file:
        fields = [line.rstrip("\n").split("\t") for line in file if line.strip()]
    expected = {f[3].upper(): (None if f[6] == "-" else f[6].upper()) for f in fields}
    with open(output_path, encoding="utf-8", errors="replace") as file:
        lines = [line.rstrip("\r\n") for line in file]
    found = []
    if side == "floor":
        for line in lines:
            parts = line.split("\t")
            if len(parts) >= 4 and parts[0] != "orphaned":
                found.append((parts[1].upper(), None if parts[0] == "-" else parts[0].upper()))
    else:
        family, counted, announced = None, {}, {}
        for line in lines:
            words = line.split(" ")
            if not line.startswith("{") or len(words) < 3:
                continue
            if words[1] == "family":
                family = words[0].upper()
                announced[family] = words[2]
            elif words[2] == "without-family":
                found.append((words[0].upper(), None))
            else:
                found.append((words[0].upper(), family))
                counted[family] = counted.get(family, 0) + 1
        wrong = {code for code in announced if announced[code] != f"members={counted.get(code, 0)}"}
        if wrong:
            print(f"  family lines whose member count is not the lines that follow: {sorted(wrong)[:3]}",
                  file=sys.stderr)
            return 1
    problems = []
    if len(found) != len(expected):
        problems.append(f"{len(found)} products listed for {len(expected)} installed")
    for code, family in found:
        if code not in expected:
            problems.append(f"{code} is not a bench product")
        elif expected[code] != family:
            problems.append(f"{code} listed in {family or 'no family'}, installed in {expected[code] or 'none'}")
    missing = sorted(set(expected) - {code for code, _ in found})
    if missing:
        problems.append(f"{len(missing)} products missing, e.g. {missing[0]}")
    for problem in problems[:10]:
        print("  " + problem, file=sys.stderr)
    return 1 if problems else 0


def ratio(numerator, denominator):
    return f"{numerator / denominator:.2f}" if denominator > 0 else "n/a"


def read_startup(startup_path):
    rows, sizes = {}, {}
    with open(startup_path, encoding="utf-8") as file:
        for line in file:
            if not line.strip():
                continue
            name, size, seconds = line.rstrip("\n").split("\t")
            rows.setdefault(name, []).append(float(seconds))
            sizes[name] = size
    return rows, sizes


def read_results(results_path):
    """{(operation, size, side): [seconds]}, {(operation, size, side): wine invocations} and
    {(operation, size, side, repetition): seconds}."""
    # results: operation, size, side (tool|floor|loop|help), repetition, seconds, wine invocations
    samples, invocations, by_rep = {}, {}, {}
    with open(results_path, encoding="utf-8") as file:
        for line in file:
            if not line.strip():
                continue
            operation, size, side, rep, seconds, calls = line.rstrip("\n").split("\t")
            samples.setdefault((operation, int(size), side), []).append(float(seconds))
            invocations[(operation, int(size), side)] = int(calls)
            by_rep[(operation, int(size), side, rep)] = float(seconds)
    return samples, invocations, by_rep


def report_actions(samples, invocations, by_rep, startup):
    def above_floor(operation, size):
        """The median over repetitions of msitool minus the floor of the same repetition, which ran
        beside it: steadier than the difference of the medians when the machine drifts."""
        differences = [by_rep[(o, z, "tool", r)] - by_rep[(o, z, "floor", r)]
                       for (o, z, side, r) in by_rep
                       if (o, z, side) == (operation, size, "tool") and (o, z, "floor", r) in by_rep]
        return median(differences) if differences else 0.0

    medians = {key: median(values) for key, values in samples.items()}
    operations = {key[0] for key in samples}
    if operations & {"hideoldaddremoves", "showaddremoves", "uninstall"}:
        print("| operation | members | reps | msitool median (s) | min-max | floor (s) | msitool/floor "
              "| above floor, paired (ms per member) | loop (s) | loop wine calls | loop/msitool |")
        print("|---|---:|---:|---:|---:|---:|---:|---:|---:|---:|---:|")
    for operation in ("hideoldaddremoves", "showaddremoves", "uninstall"):
        for size in sorted({k[1] for k in samples if k[0] == operation}):
            tool = samples.get((operation, size, "tool"), [])
            if not tool:
                continue
            tool_median = medians[(operation, size, "tool")]
            floor_median = medians.get((operation, size, "floor"), 0.0)
            loop_median = medians.get((operation, size, "loop"), 0.0)
            calls = invocations.get((operation, size, "loop"), 0)
            loop_ratio = ratio(loop_median, tool_median) if calls else "n/a (nothing to do)"
            above = above_floor(operation, size) * 1000 / size
            print(f"| {operation} | {size} | {len(tool)} | {fmt(tool_median)} | {spread(tool)} | "
                  f"{fmt(floor_median)} | {ratio(tool_median, floor_median)} | {above:.1f} | "
                  f"{fmt(loop_median)} | {calls} | {loop_ratio} |")
    if operations & {"list", "list-json"}:
        print()
        print("| command | members | reps | msitool median (s) | min-max | msitool / start-up of `/?` |")
        print("|---|---:|---:|---:|---:|---:|")
    for operation, command in (("list", "/list"), ("list-json", "/list /json")):
        for size in sorted({k[1] for k in samples if k[0] == operation}):
            tool = samples[(operation, size, "tool")]
            print(f"| `{command}` | {size} | {len(tool)} | {fmt(median(tool))} | {spread(tool)} | "
                  f"{ratio(median(tool), startup)} |")

    def paired_ratio(operation, size):
        """The median over repetitions of msitool over the `/?` that ran in the same round."""
        ratios = [by_rep[(o, z, "tool", r)] / by_rep[(o, z, "help", r)]
                  for (o, z, side, r) in by_rep
                  if (o, z, side) == (operation, size, "tool") and by_rep.get((o, z, "help", r), 0) > 0]
        return f"{median(ratios):.2f}" if ratios else "n/a"

    show_sizes = sorted({k[1] for k in samples if k[0] == "showaddremoves" and k[2] == "help"})
    if show_sizes:
        print()
        print("| command | members | reps | msitool median (s) | msitool / start-up of `/?` "
              "| `/?` beside it, median (s) | min-max | msitool / `/?` beside it | paired, median of the ratios |")
        print("|---|---:|---:|---:|---:|---:|---:|---:|---:|")
    for size in show_sizes:
        tool = samples.get(("showaddremoves", size, "tool"), [])
        help_ = samples[("showaddremoves", size, "help")]
        if not tool:
            continue
        print(f"| `/showaddremoves` | {size} | {len(tool)} | {fmt(median(tool))} | {ratio(median(tool), startup)} | "
              f"{fmt(median(help_))} | {spread(help_)} | {ratio(median(tool), median(help_))} | "
              f"{paired_ratio('showaddremoves', size)} |")
    goals = [("hide 50 members within 2x the start-up of `/?`", ("hideoldaddremoves", 50, "tool"), startup, 2.0),
             ("show 50 hidden members within 2x the start-up of `/?`", ("showaddremoves", 50, "tool"), startup, 2.0),
             ("uninstall 50 members within 1.1x its floor", ("uninstall", 50, "tool"),
              medians.get(("uninstall", 50, "floor"), 0.0), 1.1)]
    for size in (10, 50):
        for operation, command in (("list", "/list"), ("list-json", "/list /json")):
            goals.append((f"`{command}` of {size} members within 2x the start-up of `/?`",
                          (operation, size, "tool"), startup, 2.0))
    goals = [goal for goal in goals if goal[1] in medians and goal[2] > 0]
    if goals:
        print()
        print("| goal | measured | met |")
        print("|---|---:|---|")
    for text, key, base, limit in goals:
        value = medians[key] / base
        print(f"| {text} | {value:.2f}x | {'yes' if value <= limit else 'no'} |")


# /families goals: 300 products within this factor of the floor; the cost per product above the
# start-up of `/?` at 300 products within this factor of the same at 50 (the slack is the spread of runs
# on a shared machine: a cost that grows with the count, n log n or worse, goes past it).
FAMILIES_FLOOR_LIMIT = 1.5
FAMILIES_FLAT_LIMIT = 1.25


def report_families(samples, by_rep):
    sizes = sorted({k[1] for k in samples if k[0] == "families"})
    if not sizes:
        return
    medians = {key: median(values) for key, values in samples.items() if key[0] == "families"}

    def ms(seconds):
        return f"{seconds * 1000:.0f}"

    def get(size, side):
        return medians.get(("families", size, side), 0.0)

    def above_help(size, side):
        """ms per product above the start-up of `/?`: the median over repetitions of the side less the
        `/?` of the same repetition, which ran beside it in a copy of the same prefix. Start-up times
        spread over a tenth of a second here, as much as 50 products cost: pairing keeps that apart."""
        differences = [by_rep[key] - by_rep[("families", size, "help", key[3])] for key in by_rep
                       if key[:3] == ("families", size, side) and ("families", size, "help", key[3]) in by_rep]
        return median(differences) * 1000 / size if differences else 0.0

    print("| products | reps | `/families` (ms) | min-max (ms) | ms per product | floor (ms) | ms per product "
          "| `/?` (ms) | ms per product | `/families` / floor | above `/?`, paired (ms per product): "
          "`/families` | floor |")
    print("|---:|---:|---:|---:|---:|---:|---:|---:|---:|---:|---:|---:|")
    for size in sizes:
        tool = samples.get(("families", size, "tool"), [])
        tool_median, floor_median, help_median = get(size, "tool"), get(size, "floor"), get(size, "help")
        print(f"| {size} | {len(tool)} | {ms(tool_median)} | {ms(min(tool))}-{ms(max(tool))} | "
              f"{tool_median * 1000 / size:.2f} | {ms(floor_median)} | {floor_median * 1000 / size:.2f} | "
              f"{ms(help_median)} | {help_median * 1000 / size:.2f} | {ratio(tool_median, floor_median)} | "
              f"{above_help(size, 'tool'):.2f} | {above_help(size, 'floor'):.2f} |")
    # The cost of each product added between two sizes: the slope of the run times. Between sizes
    # whose difference is within the spread of the start-up, it says little.
    steps = list(zip(sizes, sizes[1:]))
    if steps:
        print()
        print("| products added | `/families` (ms per added product) | floor (ms per added product) "
              "| `/families` above floor (ms per added product) |")
        print("|---|---:|---:|---:|")
    for low, high in steps:
        tool = (get(high, "tool") - get(low, "tool")) * 1000 / (high - low)
        floor = (get(high, "floor") - get(low, "floor")) * 1000 / (high - low)
        print(f"| {low} to {high} | {tool:.2f} | {floor:.2f} | {tool - floor:.2f} |")
    goals = []
    if 300 in sizes and get(300, "floor") > 0:
        value = get(300, "tool") / get(300, "floor")
        # On a machine others load, both sides spread over seconds: the ratio of the runs of one
        # repetition, which ran side by side, tells the tool's own cost apart from the load's.
        paired = [by_rep[key] / by_rep[("families", 300, "floor", key[3])] for key in by_rep
                  if key[:3] == ("families", 300, "tool") and ("families", 300, "floor", key[3]) in by_rep]
        paired_text = f"; paired run by run {median(paired):.2f}x" if paired else ""
        goals.append(f"| `/families` of 300 products within {FAMILIES_FLOOR_LIMIT}x its floor | {value:.2f}x"
                     f"{paired_text} | {'yes' if value <= FAMILIES_FLOOR_LIMIT else 'no'} |")
    if 50 in sizes and 300 in sizes and above_help(50, "tool") > 0:
        value = above_help(300, "tool") / above_help(50, "tool")
        # The floor's growth beside it tells the tool's own from the installer's.
        floor_value = ratio(above_help(300, "floor"), above_help(50, "floor"))
        goals.append(f"| cost per product flat from 50 to 300: ms per product above `/?` at 300 within "
                     f"{FAMILIES_FLAT_LIMIT}x of that at 50 | {above_help(300, 'tool'):.2f} / "
                     f"{above_help(50, 'tool'):.2f} = {value:.2f}x (floor: {floor_value}x) | "
                     f"{'yes' if value <= FAMILIES_FLAT_LIMIT else 'no'} |")
    if goals:
        print()
        print("| goal | measured | met |")
        print("|---|---:|---|")
        print("\n".join(goals))


# Each executable, the 32-bit and the 64-bit one, at most 512 KiB.
EXE_SIZE_LIMIT = 512 * 1024


def report_sizes(sizes_path):
    print("| goal | measured | met |")
    print("|---|---:|---|")
    with open(sizes_path, encoding="utf-8") as file:
        for line in file:
            preset, size = line.split()
            print(f"| `msitool.exe` of {preset} at most {EXE_SIZE_LIMIT:,} bytes | {int(size):,} bytes | "
                  f"{'yes' if int(size) <= EXE_SIZE_LIMIT else 'no'} |")


def report(results_path, startup_path, sizes_path):
    samples, invocations, by_rep = read_results(results_path)
    startup_rows, startup_sizes = read_startup(startup_path)
    startup = median(startup_rows["msitool.exe /?"]) if "msitool.exe /?" in startup_rows else 0.0
    actions = {key: values for key, values in samples.items() if key[0] != "families"}
    if actions:
        report_actions(actions, invocations, by_rep, startup)
        print()
    if any(key[0] == "families" for key in samples):
        print("### `/families`")
        print()
        report_families(samples, by_rep)
        print()
    if startup_rows:
        print("| program | size (bytes) | runs | start-up median (s) | min-max |")
        print("|---|---:|---:|---:|---:|")
    for name, values in startup_rows.items():
        print(f"| {name} | {startup_sizes[name]} | {len(values)} | {fmt(median(values))} | {spread(values)} |")
    print()
    report_sizes(sizes_path)


def main(argv):
    command = argv[1] if len(argv) > 1 else ""
    if command == "family" and len(argv) == 3:
        upgrade, members = family(int(argv[2]))
        print(f"upgrade\t{upgrade}")
        for member in members:
            print("\t".join(str(field) for field in member))
        return 0
    if command == "check" and len(argv) in (6, 7) and argv[2] in CHECK_STATES:
        return check(argv[2], argv[3], argv[4], argv[5], argv[6] if len(argv) == 7 else None)
    if command == "products" and len(argv) == 3:
        for product in products(int(argv[2])):
            print("\t".join(str(field) for field in product))
        return 0
    if command == "listed" and len(argv) == 5:
        return listed(argv[2], argv[3], argv[4])
    if command == "families-listed" and len(argv) == 5 and argv[2] in ("tool", "floor"):
        return families_listed(argv[2], argv[3], argv[4])
    if command == "median" and len(argv) > 2:
        print(fmt(median(argv[2:])))
        return 0
    if command == "report" and len(argv) == 5:
        report(argv[2], argv[3], argv[4])
        return 0
    print(__doc__, file=sys.stderr)
    return 2


if __name__ == "__main__":
    sys.exit(main(sys.argv))
