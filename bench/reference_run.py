#!/usr/bin/python3
"""The reference for the download run: what a user would write in Python 3 to save a listed
playlist. The list comes from the playlist page before the clock starts; then, per song, it GETs
the resolver's answer, reads it with json.loads, skips a song whose file exists, and GETs the media
into the file.

usage: reference_run.py HOST:PORT PLAYLIST EXPECTED_SONGS FOLDER SONG_BYTES
Prints "run_ms" and "saved".
"""
import json
import os
import re
import shutil
import sys
import time
import urllib.request

MARKER = r"\[{(.*?)}\]</textarea>"
RESOLVER_PATH = "/music/api.php?source=netease&types=url&id="


def song_list(host, playlist):
    with urllib.request.urlopen("http://%s/playlist?id=%s" % (host, playlist)) as response:
        page = response.read().decode("utf-8")
    match = re.search(MARKER, page, re.IGNORECASE | re.MULTILINE)
    songs = json.loads("[{" + match.group(1) + "}]")
    return [(song["artists"][0]["name"] + " - " + song["name"], song["id"]) for song in songs]


def save_all(host, songs, folder):
    for line, song_id in songs:
        with urllib.request.urlopen("http://%s%s%d" % (host, RESOLVER_PATH, song_id)) as response:
            answer = json.loads(response.read())
        path = os.path.join(folder, line + ".mp3")
        if os.path.exists(path):
            continue
        with urllib.request.urlopen(answer["url"]) as media, open(path, "wb") as out:
            shutil.copyfileobj(media, out)


def main():
    host, playlist, expected, folder, song_bytes = sys.argv[1:6]
    songs = song_list(host, playlist)
    if len(songs) != int(expected):
        sys.exit("reference_run: %d songs listed, %s expected" % (len(songs), expected))
    start = time.perf_counter()
    save_all(host, songs, folder)
    elapsed = time.perf_counter() - start
    saved = sum(1 for entry in os.scandir(folder) if entry.is_file() and entry.stat().st_size == int(song_bytes))
    if saved != len(songs):
        sys.exit("reference_run: %d songs saved, %d expected" % (saved, len(songs)))
    print("run_ms %.3f" % (elapsed * 1000))
    print("saved %d" % saved)


if __name__ == "__main__":
    main()
