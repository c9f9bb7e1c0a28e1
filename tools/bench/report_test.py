#!/usr/bin/env python3
"""The table and results.json of report.py on a small set of samples: medians,
ratios against the reference of the same run, the goals and the bounds the
platform's floors of the same run set for them, and a figure that could not
be measured shown as n/a instead of failing the run."""
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
    {"figure": "launch_cache_hit_pe", "role": "unavailable", "why": "module path not available"},
    {"figure": "floor_idle", "role": "value", "value": 1.3},
    {"figure": "floor_download", "role": "value", "value": 95.0},
    {"figure": "launch_cache_hit", "role": "value", "value": 0.50},
    {"figure": "launch_cache_hit", "role": "reference", "value": 0.10},
    {"figure": "floor_first_frame", "role": "value", "value": 0.20},
    {"figure": "floor_revalidate", "role": "value", "value": 0.03},
    {"figure": "floor_game_start", "role": "value", "value": 0.09},
    {"figure": "first_frame", "role": "value", "value": 0.22},
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
    # The stricter of 0.9 x the transfer floor (85.5) and 0.5 x host curl (100).
    assert abs(download["ratio"] - 0.45) < 1e-9 and download["goal_value"] == 100.0
    assert download["met"] is False
    assert figures["floor_download"]["platform"] and figures["floor_download"]["ratio"] == 95.0 / 200.0

    # 0.10 + min(0.30, 0.20 + 0.03 + 0.09 + 0.05): 0.40, missed at 0.50.
    cache_hit = figures["launch_cache_hit"]
    assert abs(cache_hit["goal_value"] - 0.40) < 1e-9 and cache_hit["met"] is False
    # 0.22 is within 1.15 x 0.20.
    assert abs(figures["first_frame"]["goal_value"] - 0.23) < 1e-9 and figures["first_frame"]["met"] is True
    # A goal whose floor was not measured is not judged.
    assert figures["idle_cpu_waiting"]["met"] is None and figures["first_log"]["goal_value"] is None

    assert abs(figures["sha1"]["ratio"] - 500 / 600) < 1e-9 and figures["sha1"]["met"] is True
    assert figures["idle_cpu_error"]["met"] is True  # 1.5 <= 1.3 + 0.3
    assert figures["idle_cpu_error"]["steps"] == {"thread main": 1.4}
    # 21 + 40 + 2 x 47.7 MiB = 156.4: 160 misses.
    assert figures["peak_memory"]["met"] is False

    windows_path = figures["launch_cache_hit_pe"]
    assert windows_path["value"] is None and windows_path["unavailable"] == "module path not available"
    assert "n/a (module path not available)" in run.stdout
    assert figures["size"]["unavailable"] == "no samples"
    print("report: ok")


if __name__ == "__main__":
    main()
