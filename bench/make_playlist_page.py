#!/usr/bin/python3
"""Writes a playlist page shaped like a music service's: a large HTML head, then the song array
as JSON on one line inside a hidden textarea, about 1 KB per song, with Chinese titles and artists
and some emoji. The same seed gives the same page.

usage: make_playlist_page.py SONGS OUT.html [--seed N]
"""
import argparse
import json
import random

HEAD_BYTES = 256 * 1024
FIRST_SONG_ID = 1800000000
CJK_WORDS = ["夜空", "星光", "告白", "气球", "晴天", "稻香", "青花瓷", "海阔天空", "后来", "小幸运",
             "光年之外", "起风了", "漂洋过海", "来看你", "红豆", "匆匆", "那年", "夏天", "的风", "心跳",
             "遇见", "平凡之路", "成都", "南山南", "春风", "十里", "不如你", "演员", "体面", "像我这样的人"]
ARTIST_NAMES = ["周杰伦", "林俊杰", "陈奕迅", "王菲", "邓紫棋", "薛之谦", "毛不易", "李荣浩", "五月天",
                "张学友", "孙燕姿", "莫文蔚", "朴树", "赵雷", "许嵩", "华晨宇", "Taylor Swift", "Adele",
                "蔡依林", "梁静茹"]
EMOJI = ["🎵", "❤️", "🌙", "✨", "🔥", "🎧"]
TAGS = ["Live", "伴奏", "钢琴版", "Remix", "DJ版", "电影《夏天》插曲"]


def head_filler():
    lines = ["<!DOCTYPE html>", "<html>", "<head>", '<meta charset="utf-8">',
             "<title>歌单 - 云端音乐</title>",
             '<script>var nav = [{"href":"/discover","t":"发现音乐"},{"href":"/my","t":"我的音乐"}];</script>',
             "<style>"]
    size = sum(len(line) + 1 for line in lines)
    rule = 0
    while size < HEAD_BYTES:
        line = (".m-%d .u-btn { margin: 0 4px; padding: 2px 6px; background: url(//s2.music.example/"
                "style/web2/img/sprite.png?%x) no-repeat 0 -%dpx; }" % (rule, rule * 7919, rule % 400))
        lines.append(line)
        size += len(line) + 1
        rule += 1
    lines += ["</style>", "</head>", "<body>", '<div class="g-bd"><div id="song-list-pre-cache">']
    return "\n".join(lines) + "\n"


def title(rng):
    text = "".join(rng.choice(CJK_WORDS) for _ in range(rng.randint(1, 3)))
    if rng.random() < 0.15:
        text += " (" + rng.choice(TAGS) + ")"
    if rng.random() < 0.1:
        text += " " + rng.choice(EMOJI)
    return text


def artist(rng, artist_id):
    name = rng.choice(ARTIST_NAMES)
    if rng.random() < 0.05:
        name += rng.choice(EMOJI)
    return {"name": name, "id": artist_id, "picUrl":
            "http://p3.music.example/6y-UleORITEDbvrOLV0Q8A==/5639395138885805.jpg", "alias": [],
            "trans": "", "albumSize": 0}


def music_file(rng, bitrate, seconds):
    return {"name": None, "id": rng.randint(10**9, 10**10), "size": bitrate // 8 * seconds,
            "extension": "mp3", "sr": 44100, "dfsId": 0, "bitrate": bitrate, "playTime": seconds * 1000,
            "volumeDelta": round(rng.uniform(-3, 0), 1)}


def song(rng, index):
    song_id = FIRST_SONG_ID + index
    seconds = rng.randint(150, 330)
    artists = [artist(rng, rng.randint(1000, 99999)) for _ in range(rng.choice([1, 1, 2, 3]))]
    album_id = rng.randint(10**5, 10**8)
    return {
        "name": title(rng), "id": song_id, "position": index + 1, "alias": [], "status": 0, "fee": 8,
        "copyrightId": 7001, "disc": "01", "no": rng.randint(1, 12), "artists": artists,
        "album": {"name": title(rng), "id": album_id, "type": "专辑", "size": rng.randint(1, 20),
                  "picId": rng.randint(10**15, 10**16), "blurPicUrl":
                  "http://p4.music.example/%d/109951163.jpg" % album_id, "companyId": 0,
                  "pic": rng.randint(10**15, 10**16), "publishTime": rng.randint(10**12, 16 * 10**11),
                  "company": "环球唱片", "subType": "录音室版", "status": 0, "alias": [],
                  "commentThreadId": "R_AL_3_%d" % album_id},
        "starred": False, "popularity": 100.0, "score": 100, "duration": seconds * 1000,
        "commentThreadId": "R_SO_4_%d" % song_id, "ftype": 0, "rtUrls": [], "copyright": 1,
        "mvid": rng.choice([0, 0, rng.randint(10**6, 10**7)]), "rtype": 0, "rurl": None, "mp3Url": None,
        "hMusic": music_file(rng, 320000, seconds),
    }


def page(songs, seed):
    rng = random.Random(seed)
    items, lines = [], set()
    index = 0
    while len(items) < songs:
        item = song(rng, index)
        line = item["artists"][0]["name"] + " - " + item["name"]
        if line in lines:
            continue  # every song of the list saves into a file of its own
        lines.add(line)
        items.append(item)
        index += 1
    array = json.dumps(items, ensure_ascii=False, separators=(",", ":"))
    return (head_filler() + '<textarea id="song-list-pre-data" style="display:none;">' + array +
            "</textarea>\n</div></div>\n<script src=\"/js/core.js\"></script>\n</body>\n</html>\n")


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("songs", type=int)
    parser.add_argument("out")
    parser.add_argument("--seed", type=int, default=8)
    arguments = parser.parse_args()
    with open(arguments.out, "w", encoding="utf-8") as out:
        out.write(page(arguments.songs, arguments.seed))


if __name__ == "__main__":
    main()
