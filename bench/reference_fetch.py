#!/usr/bin/python3
"""The reference for the fetch: what a user would write in Python 3 to list a playlist. GETs the
page with urllib, decodes it from UTF-8, cuts the song array out with the same pattern, reads it
with json.loads and builds the list lines and values. Timed inside Python, so the interpreter's
start is left out; the growth of the resident set is measured over the same span.

usage: reference_fetch.py URL EXPECTED_SONGS [--stages]
Prints "key value" lines: fetch_ms and rss_growth_kib, or with --stages the time of each step.
"""
import json
import re
import sys
import time
import urllib.request

MARKER = r"\[{(.*?)}\]</textarea>"


def status_kib(field):
    with open("/proc/self/status") as status:
        for line in status:
            if line.startswith(field + ":"):
                return int(line.split()[1])
    raise RuntimeError(field + " is missing from /proc/self/status")


def reset_peak():
    with open("/proc/self/clear_refs", "w") as clear_refs:
        clear_refs.write("5")


def fetch(url, stamp):
    with urllib.request.urlopen(url) as response:
        body = response.read()
    stamp("request_ms")
    page = body.decode("utf-8")
    del body  # as in urlopen(url).read().decode("utf-8"), the bytes go at once
    stamp("decode_ms")
    match = re.search(MARKER, page, re.IGNORECASE | re.MULTILINE)
    array = "[{" + (match.group(1) if match else "") + "}]"
    stamp("regex_ms")
    songs = json.loads(array)
    stamp("parse_ms")
    lines = []
    for song in songs:
        artists = song.get("artists") or [{}]
        lines.append((artists[0].get("name", "") + " - " + song.get("name", ""), int(song.get("id", 0))))
    stamp("lines_ms")
    return lines


def main():
    url, expected = sys.argv[1], int(sys.argv[2])
    stages = "--stages" in sys.argv[3:]
    marks = []
    idle = status_kib("VmRSS")
    reset_peak()
    start = time.perf_counter()
    lines = fetch(url, lambda name: marks.append((name, time.perf_counter())))
    elapsed = time.perf_counter() - start
    peak = status_kib("VmHWM")
    if len(lines) != expected:
        sys.exit("reference_fetch: %d songs listed, %d expected" % (len(lines), expected))
    if stages:
        before = start
        for name, at in marks:
            print("%s %.3f" % (name, (at - before) * 1000))
            before = at
    else:
        print("fetch_ms %.3f" % (elapsed * 1000))
        print("rss_growth_kib %d" % (peak - idle))


if __name__ == "__main__":
    main()
