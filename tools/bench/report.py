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

# name, label, unit, reference label, goal text, goal check(median, reference median)
FIGURES = [
    ("launch_cache_hit", "launch overhead, cache hit", "s", "demo game started directly",
     "<= ref + 0.25 s", lambda v, r: None if r is None else v - r <= 0.25),
    ("launch_fresh", "launch, fresh download of 5 MB", "s", None, "printed", None),
    ("launch_cache_hit_pe", "launch overhead, cache hit, Windows path", "s", "demo game started directly",
     "<= ref + 0.25 s", lambda v, r: None if r is None else v - r <= 0.25),
    ("launch_fresh_pe", "launch, fresh download, Windows path", "s", None, "printed", None),
    ("first_frame", "first splash frame", "s", None, "<= 0.15 s", lambda v, r: v <= 0.15),
    ("idle_cpu_error", "idle CPU, error screen", "%", "one core (100 %)", "<= 2 %",
     lambda v, r: v <= 2.0),
    ("idle_cpu_waiting", "idle CPU, waiting for game", "%", "one core (100 %)", "<= 2 %",
     lambda v, r: v <= 2.0),
    ("download", "download of 50 MB", "MB/s", "host curl", ">= 0.5x ref",
     lambda v, r: None if not r else v / r >= 0.5),
    ("decode", "DecodeModule of 50 MB", "MB/s", "memcpy", ">= 1000 MB/s", lambda v, r: v >= 1000),
    ("sha1", "SHA-1 of the cache, 50 MB", "MB/s", "host sha1sum", ">= 0.8x ref",
     lambda v, r: None if not r else v / r >= 0.8),
    ("peak_memory", "peak memory, 50 MB module", "MB", "demo game",
     "<= ref + 40 + 2x module", lambda v, r: None if r is None else v <= r + 40 + 2 * MODULE_MB),
    ("size", "stripped executable", "MB", None, "<= 8 MB", lambda v, r: v <= 8),
]

# Figures whose reference is a fixed quantity rather than a measurement.
FIXED_REFERENCES = {"idle_cpu_error": 100.0, "idle_cpu_waiting": 100.0}


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
    references = [float(s["value"]) for s in mine if s["role"] == "reference"]
    missing = [s["why"] for s in mine if s["role"] == "unavailable"]
    steps = {}
    for s in mine:
        if s["role"] == "step":
            steps.setdefault(s["step"], []).append(float(s["value"]))
    result = {"name": name, "label": label, "unit": unit, "goal": goal,
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
    if value is None:
        result["unavailable"] = missing[0] if missing else "no samples"
        result["ratio"] = None
        result["met"] = None
        return result
    ref_median = reference["median"] if reference else None
    result["ratio"] = value["median"] / ref_median if ref_median else None
    result["met"] = check(value["median"], ref_median) if check else None
    return result


def number(x):
    if x is None:
        return "-"
    return f"{x:.3f}" if abs(x) < 10 else f"{x:.1f}"


def table(results):
    head = ["figure", "unit", "median", "min", "max", "reference", "ratio", "goal", "met"]
    rows = [head]
    for r in results:
        if r["value"] is None:
            rows.append([r["label"], r["unit"], f"n/a ({r['unavailable']})", "", "", "", "", r["goal"], "-"])
            continue
        v, ref = r["value"], r["reference"]
        ref_text = "-" if ref is None else f"{number(ref['median'])} {ref['label']}"
        ratio = "-" if r["ratio"] is None else f"{r['ratio']:.2f}x"
        met = {True: "yes", False: "NO", None: "-"}[r["met"]]
        rows.append([r["label"], r["unit"], number(v["median"]), number(v["min"]), number(v["max"]),
                     ref_text, ratio, r["goal"], met])
        for step, at in r["steps"].items():
            rows.append([f"  {step}", r["unit"], number(at), "", "", "", "", "", ""])
    widths = [max(len(row[i]) for row in rows) for i in range(len(head))]
    return "\n".join("  ".join(cell.ljust(widths[i]) for i, cell in enumerate(row)).rstrip() for row in rows)


def main(argv):
    if len(argv) != 3:
        print(__doc__, file=sys.stderr)
        return 2
    samples = read_samples(argv[1])
    results = [summarize(*figure, samples) for figure in FIGURES]
    with open(argv[2], "w", encoding="utf-8") as target:
        json.dump({"figures": results}, target, indent=2)
        target.write("\n")
    print(table(results))
    print(f"results: {argv[2]}")
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
