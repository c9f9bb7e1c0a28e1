#!/usr/bin/env python3
"""Turns the samples of bench.sh into the benchmark table and results.json.

    report.py SAMPLES_JSONL RESULTS_JSON

Each sample line is {"figure", "role", ...}: role "value" and "reference"
carry a number, "step" a named part of a value (in the figure's unit), "unavailable" a
reason why the figure could not be measured. The table gives median, minimum
and maximum of each figure, the median of its reference measured in the same
run, their ratio and whether the goal is met. No goal fails the run: these
are figures, not tests.
"""
import json
import statistics
import sys

MODULE_MB = 50e6 / 1048576  # the 50 MB module, in the MiB that VmHWM counts


def floors_of(medians, *names):
    """The medians of the named floors, or None when one was not measured."""
    values = [medians.get(n) for n in names]
    return None if any(v is None for v in values) else values


def launch_bound(r, m):
    """The cache-hit launch: the game's own start, plus at most the platform's
    floors of what the launcher adds (a frame, a revalidation, a game start)
    and 0.05 s, and never more than 0.30 s."""
    if r is None:
        return None
    floors = floors_of(m, "floor_first_frame", "floor_revalidate", "floor_game_start")
    added = 0.30 if floors is None else min(0.30, sum(floors) + 0.05)
    return r + added


def windows_launch_bound(r, m):
    """The Windows path: the native path's launch plus its mapping; not judged
    while the run has no mapping time."""
    native, mapping = m.get("launch_cache_hit"), m.get("mapping")
    if native is None or mapping is None:
        return None
    return native + mapping


def scaled(name, factor, plus=0.0):
    return lambda r, m: None if m.get(name) is None else m[name] * factor + plus


def download_bound(r, m):
    bounds = [b for b in (None if m.get("floor_download") is None else 0.9 * m["floor_download"],
                          None if not r else 0.5 * r) if b is not None]
    return max(bounds) if bounds else None


# name, label, unit, reference label, goal text, goal: (comparison, bound(reference median, medians))
# where the bound is the value the figure's median has to stay at or under
# ("<=") or reach (">="); None when what it depends on was not measured.
FIGURES = [
    ("launch_cache_hit", "launch overhead, cache hit", "s", "demo game started directly",
     "<= ref + SDL frame + 304 + game-start floors + 0.05 s, <= ref + 0.30 s", ("<=", launch_bound)),
    ("launch_fresh", "launch, fresh download of 5 MB", "s", None, "printed", None),
    ("launch_cache_hit_pe", "launch overhead, cache hit, Windows path", "s", "demo game started directly",
     "<= the native path + mapping", ("<=", windows_launch_bound)),
    ("launch_fresh_pe", "launch, fresh download, Windows path", "s", None, "printed", None),
    ("first_frame", "first splash frame", "s", None, "<= 1.15x SDL floor", ("<=", scaled("floor_first_frame", 1.15))),
    ("first_log", "launcher start to its first log line", "s", None, "<= 1.2x imports floor",
     ("<=", scaled("floor_first_output", 1.2))),
    ("idle_cpu_error", "idle CPU, error screen", "%", "one core (100 %)", "<= SDL idle floor + 0.3 %",
     ("<=", scaled("floor_idle", 1.0, 0.3))),
    ("idle_cpu_waiting", "idle CPU, waiting for game", "%", "one core (100 %)", "<= SDL idle floor + 0.3 %",
     ("<=", scaled("floor_idle", 1.0, 0.3))),
    ("download", "download of 50 MB", "MB/s", "host curl", ">= 0.9x transfer floor, >= 0.5x ref",
     (">=", download_bound)),
    ("decode", "DecodeModule of 50 MB", "MB/s", "memcpy", ">= 1000 MB/s", (">=", lambda r, m: 1000.0)),
    ("sha1", "SHA-1 of the cache, 50 MB", "MB/s", "host sha1sum", ">= 0.8x ref",
     (">=", lambda r, m: None if not r else 0.8 * r)),
    ("cached_module", "read, check and decode a cached 5 MB module", "ms", None, "<= 10 ms",
     ("<=", lambda r, m: 10.0)),
    ("peak_memory", "peak memory, 50 MB module", "MB", "demo game",
     "<= ref + 40 + 2x module", ("<=", lambda r, m: None if r is None else r + 40 + 2 * MODULE_MB)),
    ("size", "stripped executable", "MB", None, "<= 8 MB", ("<=", lambda r, m: 8.0)),
    # The platform's floors: what a minimal program of the same build pays for
    # the same step. They bound the figures above and have no goal of their own.
    ("floor_first_frame", "platform: SDL program, first frame", "s", None, "platform", None),
    ("floor_idle", "platform: SDL program, idle CPU", "%", "one core (100 %)", "platform", None),
    ("floor_first_output", "platform: launcher's imports, first output", "s", None, "platform", None),
    ("floor_revalidate", "platform: curl + Schannel, one 304", "s", None, "platform", None),
    ("floor_download", "platform: curl + Schannel, 50 MB", "MB/s", "host curl", "platform", None),
    ("floor_game_start", "platform: CreateProcessW to game start", "s", None, "platform", None),
    ("floor_first_touch", "platform: first touch of a fresh 5 MB buffer", "ms", None, "platform", None),
]

# Figures whose reference is a fixed quantity rather than a measurement.
FIXED_REFERENCES = {"idle_cpu_error": 100.0, "idle_cpu_waiting": 100.0, "floor_idle": 100.0}
# Figures whose reference is another figure's value, measured in the same run.
SHARED_REFERENCES = {"floor_download": "download"}
# Steps that other figures' goals read as if they were figures.
STEP_FIGURES = {"mapping": ("launch_cache_hit_pe", "module mapped")}


def read_samples(path):
    samples = []
    with open(path, encoding="utf-8") as source:
        for line in source:
            line = line.strip()
            if line:
                samples.append(json.loads(line))
    return samples


def spread(values):
    if not values:
        return None
    return {"samples": values, "median": statistics.median(values), "min": min(values), "max": max(values)}


def summarize(name, label, unit, reference_label, goal, check, samples):
    mine = [s for s in samples if s.get("figure") == name]
    values = [float(s["value"]) for s in mine if s["role"] == "value"]
    reference_figure = SHARED_REFERENCES.get(name, name)
    references = [float(s["value"]) for s in samples
                  if s.get("figure") == reference_figure and s["role"] == "reference"]
    missing = [s["why"] for s in mine if s["role"] == "unavailable"]
    steps = {}
    for s in mine:
        if s["role"] == "step":
            steps.setdefault(s["step"], []).append(float(s["value"]))
    result = {"name": name, "label": label, "unit": unit, "goal": goal, "platform": name.startswith("floor_"),
              "source": next((s.get("source", "") for s in mine if s["role"] == "value"), "")}
    value = spread(values)
    reference = spread(references)
    if reference is None and name in FIXED_REFERENCES:
        reference = {"samples": [], "median": FIXED_REFERENCES[name]}
    if reference is not None:
        reference["label"] = reference_label
    result["value"] = value
    result["reference"] = reference
    result["steps"] = {step: statistics.median(v) for step, v in steps.items()}
    result["goal_value"] = None
    if value is None:
        result["unavailable"] = missing[0] if missing else "no samples"
        result["ratio"] = None
        result["met"] = None
        return result
    ref_median = reference["median"] if reference else None
    result["ratio"] = value["median"] / ref_median if ref_median else None
    result["met"] = None
    result["check"] = check
    return result


def judge(results):
    """Goals read other figures' medians (the floors), so they are judged once
    every figure is summarized."""
    medians = {r["name"]: r["value"]["median"] for r in results if r["value"] is not None}
    for step, (figure, label) in STEP_FIGURES.items():
        owner = next((r for r in results if r["name"] == figure), None)
        if owner is not None and label in owner["steps"]:
            medians[step] = owner["steps"][label]
    for r in results:
        check = r.pop("check", None)
        if check is None:
            continue
        comparison, bound_of = check
        ref_median = r["reference"]["median"] if r["reference"] else None
        bound = bound_of(ref_median, medians)
        r["goal_value"] = bound
        if bound is not None:
            v = r["value"]["median"]
            r["met"] = v <= bound if comparison == "<=" else v >= bound


def number(x):
    if x is None:
        return "-"
    return f"{x:.3f}" if abs(x) < 10 else f"{x:.1f}"


def table(results):
    head = ["figure", "unit", "median", "min", "max", "reference", "ratio", "goal", "goal value", "met"]
    rows = [head]
    for r in results:
        if r["value"] is None:
            rows.append([r["label"], r["unit"], f"n/a ({r['unavailable']})", "", "", "", "", r["goal"], "", "-"])
            continue
        v, ref = r["value"], r["reference"]
        ref_text = "-" if ref is None else f"{number(ref['median'])} {ref['label']}"
        ratio = "-" if r["ratio"] is None else f"{r['ratio']:.2f}x"
        met = {True: "yes", False: "NO", None: "-"}[r["met"]]
        rows.append([r["label"], r["unit"], number(v["median"]), number(v["min"]), number(v["max"]),
                     ref_text, ratio, r["goal"], number(r["goal_value"]), met])
        for step, at in r["steps"].items():
            rows.append([f"  {step}", r["unit"], number(at), "", "", "", "", "", "", ""])
    widths = [max(len(row[i]) for row in rows) for i in range(len(head))]
    return "\n".join("  ".join(cell.ljust(widths[i]) for i, cell in enumerate(row)).rstrip() for row in rows)


def main(argv):
    if len(argv) != 3:
        print(__doc__, file=sys.stderr)
        return 2
    samples = read_samples(argv[1])
    results = [summarize(*figure, samples) for figure in FIGURES]
    judge(results)
    with open(argv[2], "w", encoding="utf-8") as target:
        json.dump({"figures": results}, target, indent=2)
        target.write("\n")
    print(table(results))
    print(f"results: {argv[2]}")
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
