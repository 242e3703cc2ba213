#!/usr/bin/python3
"""Makes the music folders that bench/tags and bench/scan read: a realistic mix of MP3s.

    make_fixture.py CACHE TIER...

For each TIER (a file count) CACHE/TIER/ ends up holding that many MP3s. Every file is
3-10 MB long, at 128-320 kbit/s CBR or VBR (with and without an Xing header), with an
ID3v2.3 UTF-16 or ID3v2.4 UTF-8 tag written by mutagen, Japanese or Latin text, a third of
them with 110-490 KB of cover art (JPEG) and some with an ID3v1 tag at the end.

The tag and the first and last seconds of audio are real (lame encodes of sox noise and
tones, so readers that look for the last frame find it at the end as in a real file); the
middle of each file is a hole, so the files take little disk. 20,000 distinct
files at most are written into CACHE/pool/; the tiers are hard links to them (a tier larger
than the pool repeats it under other names). Everything is made once and reused.
Needs /usr/bin/python3 with mutagen (python3-mutagen), lame, sox and ImageMagick's convert.
"""
import io
import os
import random
import subprocess
import sys
import tempfile

from mutagen.id3 import (APIC, COMM, ID3, TALB, TCON, TCOM, TDRC, TENC, TIT2, TPE1, TPE2,
                         TPOS, TRCK, TSSE, TXXX, TYER, USLT, MakeID3v1)

POOL_MAX = 20000
SECONDS = 3

# (sample rate, channels, lame options): CBR with and without the Info frame, VBR with
# and without the Xing frame.
ENCODES = [(rate, ch, opts)
           for rate, ch in ((44100, 2), (48000, 2), (44100, 1))
           for opts in (["-b", "128"], ["-b", "192"], ["-b", "256"], ["-b", "320"],
                        ["-b", "160", "-t"], ["-b", "320", "-t"],
                        ["-V", "0"], ["-V", "2"], ["-V", "4", "-t"], ["-V", "5"])]
COVER_SIDES = [560, 680, 800, 920, 1050, 1200]

LATIN_WORDS = ["Blue", "Night", "River", "Dancing", "Lights", "Summer", "Rain", "Heart",
               "Highway", "Morning", "Electric", "Shadow", "Golden", "Velvet", "Ocean", "Fire"]
JAPANESE_WORDS = ["夜明け", "桜", "青い空", "夏の日", "約束", "風", "遠い街", "光", "雨音",
                  "星空", "涙", "ふたり", "永遠", "海辺", "想い出", "旅立ち"]
GENRES = ["Rock", "Pop", "J-Pop", "Jazz", "Classical", "Electronic", "Anime", "Folk",
          "Hip-Hop", "Soundtrack", "(17)", "(13)"]


def run(args):
    subprocess.run(args, check=True, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)


def make_encodes(folder):
    os.makedirs(folder, exist_ok=True)
    audio = []
    for n, (rate, channels, opts) in enumerate(ENCODES):
        mp3 = os.path.join(folder, "%02d.mp3" % n)
        if not os.path.exists(mp3):
            wav = mp3 + ".wav"
            run(["sox", "-n", "-r", str(rate), "-c", str(channels), "-b", "16", wav, "synth",
                 str(SECONDS), "pinknoise", "sine", str(220 + 37 * n), "vol", "0.5"])
            run(["lame", "--quiet"] + opts + [wav, mp3 + ".part"])
            os.rename(mp3 + ".part", mp3)
            os.remove(wav)
        with open(mp3, "rb") as f:
            audio.append(f.read())
    return audio


def make_covers(folder):
    covers = []
    for side in COVER_SIDES:
        jpg = os.path.join(folder, "cover%d.jpg" % side)
        if not os.path.exists(jpg):
            run(["convert", "-size", "%dx%d" % (side, side), "plasma:fractal", "-attenuate", "0.6",
                 "+noise", "Gaussian", "-quality", "88", jpg + ".part.jpg"])
            os.rename(jpg + ".part.jpg", jpg)
        with open(jpg, "rb") as f:
            covers.append(f.read())
    return covers


def words(rng, japanese, count):
    pool = JAPANESE_WORDS if japanese else LATIN_WORDS
    return (" " if not japanese else "").join(rng.choice(pool) for _ in range(count))


def tag_bytes(n, rng, covers):
    """The ID3v2 tag of pool file n, and its ID3v1 tag (or b"")."""
    v24 = n % 2 == 1
    enc = 3 if v24 else 1  # UTF-8 in 2.4, UTF-16 with BOM in 2.3
    japanese = rng.random() < 0.5
    artist_no = rng.randrange(400)
    album_no = rng.randrange(1500)
    arng = random.Random(artist_no)
    artist = words(arng, arng.random() < 0.5, 2)
    alrng = random.Random(10000 + album_no)
    album = words(alrng, japanese, 2) + (" %d" % album_no)
    year = str(1965 + album_no % 58)
    t = ID3()
    t.add(TIT2(encoding=enc, text=words(rng, japanese, rng.randint(1, 4))))
    t.add(TPE1(encoding=enc, text=artist))
    t.add(TALB(encoding=enc, text=album))
    t.add(TRCK(encoding=enc, text="%d/%d" % (1 + n % 14, 14)))
    t.add(TCON(encoding=enc, text=rng.choice(GENRES)))
    t.add((TDRC if v24 else TYER)(encoding=enc, text=year))
    if rng.random() < 0.5:
        t.add(TPE2(encoding=enc, text=artist))
        t.add(TPOS(encoding=enc, text="1/1"))
    if rng.random() < 0.3:
        t.add(TCOM(encoding=enc, text=words(rng, japanese, 2)))
    t.add(TSSE(encoding=enc, text="LAME 3.100"))
    if rng.random() < 0.4:
        t.add(TENC(encoding=enc, text="iTunes 12.9"))
    if rng.random() < 0.6:
        t.add(COMM(encoding=enc, lang="jpn" if japanese else "eng", desc="",
                   text=words(rng, japanese, rng.randint(2, 8))))
    if rng.random() < 0.2:
        t.add(USLT(encoding=enc, lang="jpn" if japanese else "eng", desc="",
                   text="\n".join(words(rng, japanese, 5) for _ in range(rng.randint(10, 40)))))
    if rng.random() < 0.3:
        t.add(TXXX(encoding=enc, desc="replaygain_track_gain", text="-%.2f dB" % rng.uniform(1, 9)))
    if n % 3 == 0:
        t.add(APIC(encoding=enc, mime="image/jpeg", type=3, desc="",
                   data=covers[rng.randrange(len(covers))]))
    out = io.BytesIO()
    t.save(out, v2_version=4 if v24 else 3, v1=0, padding=lambda info: rng.choice((0, 512, 1024, 2048)))
    v1 = MakeID3v1(t) if rng.random() < 0.3 else b""
    return out.getvalue(), v1


def make_pool(cache, count):
    pool = os.path.join(cache, "pool")
    os.makedirs(pool, exist_ok=True)
    done = os.path.join(pool, "count")
    have = int(open(done).read()) if os.path.exists(done) else 0
    if have >= count:
        return pool_names(pool, count)
    audio = make_encodes(os.path.join(cache, "encodes"))
    covers = make_covers(os.path.join(cache, "encodes"))
    for n in range(have, count):
        rng = random.Random(n)
        tag, v1 = tag_bytes(n, rng, covers)
        length = rng.randint(3, 10) * 1000 * 1000 + rng.randrange(1000 * 1000)
        sound = audio[rng.randrange(len(audio))]
        with open(os.path.join(pool, "%05d.mp3" % n), "wb") as f:
            f.write(tag)
            f.write(sound)
            f.truncate(length - len(sound) - len(v1))
            f.seek(0, 2)
            f.write(sound)
            f.write(v1)
    with open(done, "w") as f:
        f.write(str(count))
    return pool_names(pool, count)


def pool_names(pool, count):
    return [os.path.join(pool, "%05d.mp3" % n) for n in range(count)]


def make_tier(cache, tier, pool):
    folder = os.path.join(cache, str(tier))
    done = os.path.join(cache, "%d.complete" % tier)
    if os.path.exists(done):
        return
    os.makedirs(folder, exist_ok=True)
    for n in range(tier):
        source = pool[n % len(pool)]
        name = os.path.basename(source)
        if n >= len(pool):
            name = "%s %s" % ("abcdefghij"[n // len(pool)], name)
        target = os.path.join(folder, name)
        if not os.path.exists(target):
            os.link(source, target)
    open(done, "w").close()


def main():
    cache = sys.argv[1]
    tiers = sorted(int(t) for t in sys.argv[2:])
    pool = make_pool(cache, min(max(tiers), POOL_MAX))
    for tier in tiers:
        make_tier(cache, tier, pool)


if __name__ == "__main__":
    main()
