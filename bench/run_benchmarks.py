#!/usr/bin/python3
"""Races the benchmark programs against their references and prints one "NAME VALUE" line per
figure, with "#" notes. Called by scripts/bench once the data and the server are in place.

Every figure compares medians of runs that alternate between our program and the reference; the
first run of each is a warm-up and does not count. The "#" notes give the median, min and max of
both sides and the min and max of the run-by-run ratio.

usage: run_benchmarks.py --build DIR --data DIR --port PORT [--runs N] [--download-runs N]
"""
import argparse
import os
import shutil
import statistics
import subprocess
import sys

import reference_run  # its song list, for the ids of the floor run

PYTHON = "/usr/bin/python3"
HERE = os.path.dirname(os.path.abspath(__file__))
# No single run of any program takes this long; one that does has hung.
RUN_TIMEOUT_SECONDS = 180
FETCH_SIZES = (1000, 10000)
RUN_SONGS = 1000
SONG_BYTES = 64 * 1024
DOWNLOAD_BYTES = 512 * 1024 * 1024
STAGES = ("request", "convert", "regex", "parse", "reads", "list")
PYTHON_STAGES = ("request", "decode", "regex", "parse", "lines")


def note(text):
    print("# " + text, flush=True)


def figure(name, value):
    print("%s %.3f" % (name, value), flush=True)


def run(command):
    """Runs one benchmark program and gives its "key value" lines as a dict."""
    env = dict(os.environ, QT_QPA_PLATFORM="offscreen")
    done = subprocess.run(command, capture_output=True, text=True, timeout=RUN_TIMEOUT_SECONDS, env=env)
    if done.returncode != 0:
        sys.exit("bench: %s failed (%d): %s" % (command[0], done.returncode, done.stderr.strip()))
    values = {}
    for line in done.stdout.splitlines():
        key, _, value = line.partition(" ")
        values[key] = float(value)
    return values


def spread(samples):
    return "median %.2f, min %.2f, max %.2f" % (statistics.median(samples), min(samples), max(samples))


def race(name, ours, reference, runs):
    """Alternates `ours` and `reference` (callables giving one sample each), warm-up first."""
    ours()
    reference()
    our_samples, reference_samples = [], []
    for _ in range(runs):
        our_samples.append(ours())
        reference_samples.append(reference())
    return our_samples, reference_samples


def report(name, unit, ours, reference, reference_name, target, higher_is_better=False):
    value = statistics.median(ours) / statistics.median(reference)
    ratios = [o / r for o, r in zip(ours, reference)]
    met = value >= target if higher_is_better else value <= target
    note("%s: ours %s %s; %s %s %s" % (name, unit, spread(ours), reference_name, unit, spread(reference)))
    note("%s: run-by-run ratio min %.3f, max %.3f; target %s %.2f %s" %
         (name, min(ratios), max(ratios), ">=" if higher_is_better else "<=", target,
          "met" if met else "MISSED"))
    figure(name, value)
    return value


def fetch_figures(options):
    host = "127.0.0.1:%d" % options.port
    samples = {}
    for songs in FETCH_SIZES:
        ours_command = [os.path.join(options.build, "bench", "velbrook_fetch_bench"), "--host", host, "--id",
                        str(songs), "--expect", str(songs)]
        python_command = [PYTHON, os.path.join(HERE, "reference_fetch.py"),
                          "http://%s/playlist?id=%d" % (host, songs), str(songs)]
        ours, python = race("fetch_%d" % songs, lambda: run(ours_command), lambda: run(python_command), options.runs)
        samples[songs] = (ours, python)
        report("fetch_%d_vs_python" % songs, "ms", [s["fetch_ms"] for s in ours],
               [s["fetch_ms"] for s in python], "python", 1.0)
        note("fetch_%d: a second click in the same process, with the caches the first one filled: ms %s" %
             (songs, spread([s["fetch_again_ms"] for s in ours])))

    small, large = ([s["fetch_ms"] for s in samples[n][0]] for n in FETCH_SIZES)
    scaling = statistics.median(large) / statistics.median(small)
    ratios = [b / a for a, b in zip(small, large)]
    note("fetch_scaling_10000_over_1000: run-by-run ratio min %.3f, max %.3f; target <= 11 %s" %
         (min(ratios), max(ratios), "met" if scaling <= 11 else "MISSED"))
    figure("fetch_scaling_10000_over_1000", scaling)

    ours, python = samples[FETCH_SIZES[-1]]
    idle = [s["idle_rss_kib"] / 1024 for s in ours]
    note("fetch_10000_rss_vs_python: our idle window's resident set MiB %s" % spread(idle))
    report("fetch_10000_rss_vs_python", "growth MiB", [s["rss_growth_kib"] / 1024 for s in ours],
           [s["rss_growth_kib"] / 1024 for s in python], "python", 1.5)


def stage_notes(options):
    host = "127.0.0.1:%d" % options.port
    songs = FETCH_SIZES[-1]
    ours_command = [os.path.join(options.build, "bench", "velbrook_fetch_stages_bench"), "--host", host, "--id",
                    str(songs), "--expect", str(songs)]
    python_command = [PYTHON, os.path.join(HERE, "reference_fetch.py"), "http://%s/playlist?id=%d" % (host, songs),
                      str(songs), "--stages"]
    ours, python = race("stages", lambda: run(ours_command), lambda: run(python_command), options.runs)
    note("where the fetch of %d songs spends its time (ms, each step on its own):" % songs)
    for stage in STAGES:
        note("  fetch_%d stage %-8s ours %s" % (songs, stage, spread([s[stage + "_ms"] for s in ours])))
    for stage in PYTHON_STAGES:
        note("  fetch_%d stage %-8s python %s" % (songs, stage, spread([s[stage + "_ms"] for s in python])))


def download_figures(options):
    url = "http://127.0.0.1:%d/big.bin" % options.port
    folder = os.path.join(options.data, "downloads")
    os.makedirs(folder, exist_ok=True)
    target = os.path.join(folder, "big.bin")
    program = os.path.join(options.build, "bench", "velbrook_download_bench")

    def ours(progress):
        def once():
            command = [program, "--url", url, "--out", target, "--expect-bytes", str(DOWNLOAD_BYTES)]
            values = run(command + (["--progress"] if progress else []))
            os.remove(target)
            return DOWNLOAD_BYTES / values["seconds"] / 2**20
        return once

    def curl():
        done = subprocess.run(["curl", "-s", "-o", target, "-w", "%{size_download} %{time_total}", url],
                              capture_output=True, text=True, timeout=RUN_TIMEOUT_SECONDS)
        size, seconds = done.stdout.split()
        if done.returncode != 0 or int(size) != DOWNLOAD_BYTES or os.path.getsize(target) != DOWNLOAD_BYTES:
            sys.exit("bench: curl failed (%d)" % done.returncode)
        os.remove(target)
        return DOWNLOAD_BYTES / float(seconds) / 2**20

    plain, progress, reference = [], [], []
    ours(False)()
    ours(True)()
    curl()
    for _ in range(options.download_runs):
        plain.append(ours(False)())
        reference.append(curl())
        progress.append(ours(True)())
    report("download_vs_curl", "MiB/s", plain, reference, "curl", 0.90, higher_is_better=True)
    report("download_with_progress_vs_curl", "MiB/s", progress, reference, "curl", 0.70, higher_is_better=True)

    # A download writes each 10240-byte chunk before it reads the next; curl writes what one receive
    # brings, about 100 KiB. What those writes alone cost, into the same folder:
    writer = os.path.join(options.build, "bench", "velbrook_write_floor_bench")
    pieces = {10240: [], 102400: []}
    for _ in range(options.download_runs):
        for piece, samples in pieces.items():
            samples.append(run([writer, "--folder", folder, "--bytes", str(DOWNLOAD_BYTES), "--piece",
                                str(piece)])["write_ms"])
    for piece, samples in pieces.items():
        note("writes alone of %d MiB in %d-byte pieces: ms %s" % (DOWNLOAD_BYTES >> 20, piece, spread(samples)))


def run_figure(options):
    host = "127.0.0.1:%d" % options.port
    folder = os.path.join(options.data, "songs")

    def fresh_folder():
        shutil.rmtree(folder, ignore_errors=True)
        os.makedirs(folder)
        return folder

    repaints = []

    def ours():
        values = run([os.path.join(options.build, "bench", "velbrook_run_bench"), "--host", host, "--id",
                      str(RUN_SONGS), "--expect", str(RUN_SONGS), "--folder", fresh_folder(), "--song-bytes",
                      str(SONG_BYTES)])
        repaints.append(values["repaints_ms"])
        return values["run_ms"]

    def python():
        return run([PYTHON, os.path.join(HERE, "reference_run.py"), host, str(RUN_SONGS), str(RUN_SONGS),
                    fresh_folder(), str(SONG_BYTES)])["run_ms"]

    our_samples, python_samples = race("run", ours, python, options.runs)
    report("run_1000_vs_python", "ms", our_samples, python_samples, "python", 0.80)

    # What the kernel and the servers alone cost for the same sequence: the part of both sides'
    # times that no program can remove, beside which the target is to be read.
    ids_file = os.path.join(options.data, "run_ids.txt")
    with open(ids_file, "w") as ids:
        ids.writelines("%d\n" % song_id for _, song_id in reference_run.song_list(host, str(RUN_SONGS)))

    def floor():
        return run([os.path.join(options.build, "bench", "velbrook_run_floor_bench"), "--port",
                    str(options.port), "--ids", ids_file, "--folder", fresh_folder(), "--song-bytes",
                    str(SONG_BYTES)])["run_ms"]

    floor()
    floor_samples = [floor() for _ in range(options.runs)]
    shutil.rmtree(folder, ignore_errors=True)
    floor_ms = statistics.median(floor_samples)
    note("run_1000 floor (bare blocking sockets, the same requests, writes and moves, no library): ms %s" %
         spread(floor_samples))
    note("run_1000 above the floor: ours %.0f ms, python %.0f ms, so the target allows us %.0f ms" %
         (statistics.median(our_samples) - floor_ms, statistics.median(python_samples) - floor_ms,
          0.80 * statistics.median(python_samples) - floor_ms))
    note("run_1000: the run's repaints (标签2 per song, 标签3 per chunk), replayed alone after it: ms %s" %
         spread(repaints[1:]))  # the first sample is the warm-up's


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--build", required=True)
    parser.add_argument("--data", required=True)
    parser.add_argument("--port", type=int, required=True)
    parser.add_argument("--runs", type=int, default=7)
    parser.add_argument("--download-runs", type=int, default=5)
    parser.add_argument("--only", choices=("fetch", "stages", "download", "run"))
    options = parser.parse_args()
    note("each figure: medians of %d interleaved runs per side after one warm-up each (%d for downloads)" %
         (options.runs, options.download_runs))
    steps = {"fetch": fetch_figures, "stages": stage_notes, "download": download_figures, "run": run_figure}
    for name, step in steps.items():
        if options.only in (None, name):
            step(options)


if __name__ == "__main__":
    main()
