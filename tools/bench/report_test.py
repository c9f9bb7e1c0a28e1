#!/usr/bin/env python3
"""The table and results.json of report.py on a small set of samples: medians,
ratios against the reference of the same run, the goals, and a figure that
could not be measured shown as n/a instead of failing the run."""
import json
import os
import subprocess
import sys
import tempfile

HERE = os.path.dirname(os.path.abspath(__file__))

SAMPLES = [
    {"figure": "download", "role": "value", "value": 40.0},
    {"figure": "download", "role": "value", "value": 100.0},
    {"figure": "download", "role": "value", "value": 90.0},
    {"figure": "download", "role": "reference", "value": 200.0},
    {"figure": "sha1", "role": "value", "value": 500.0},
    {"figure": "sha1", "role": "reference", "value": 600.0},
    {"figure": "idle_cpu_error", "role": "value", "value": 1.5},
    {"figure": "idle_cpu_error", "role": "step", "step": "thread main", "value": 1.4},
    {"figure": "peak_memory", "role": "value", "value": 160.0},
    {"figure": "peak_memory", "role": "reference", "value": 21.0},
    {"figure": "launch_cache_hit", "role": "unavailable", "why": "module path not available"},
]


def main():
    with tempfile.TemporaryDirectory() as folder:
        samples = os.path.join(folder, "samples.jsonl")
        results = os.path.join(folder, "results.json")
        with open(samples, "w", encoding="utf-8") as out:
            for sample in SAMPLES:
                out.write(json.dumps(sample) + "\n")
        run = subprocess.run([sys.executable, os.path.join(HERE, "report.py"), samples, results],
                             capture_output=True, text=True)
        assert run.returncode == 0, run.stderr
        figures = {f["name"]: f for f in json.load(open(results, encoding="utf-8"))["figures"]}

    download = figures["download"]
    assert download["value"]["median"] == 90.0 and download["value"]["min"] == 40.0
    assert abs(download["ratio"] - 0.45) < 1e-9 and download["met"] is False

    assert abs(figures["sha1"]["ratio"] - 500 / 600) < 1e-9 and figures["sha1"]["met"] is True
    assert figures["idle_cpu_error"]["met"] is True
    assert figures["idle_cpu_error"]["steps"] == {"thread main": 1.4}
    # 21 + 40 + 2 x 47.7 MiB = 156.4: 160 misses.
    assert figures["peak_memory"]["met"] is False

    cache_hit = figures["launch_cache_hit"]
    assert cache_hit["value"] is None and cache_hit["unavailable"] == "module path not available"
    assert "n/a (module path not available)" in run.stdout
    assert figures["size"]["unavailable"] == "no samples"
    print("report: ok")


if __name__ == "__main__":
    main()
