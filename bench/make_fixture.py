#!/usr/bin/python3
"""Makes the music folders that bench/tags and bench/scan read.

    make_fixture.py CACHE TIER...
    make_fixture.py CACHE mix SEED COUNT

The second form makes CACHE/mix-SEED/, the mix of bench/tags (see make_mix below), and removes
the mixes of other seeds. For each TIER (a file count) CACHE/TIER/ ends up holding that many MP3s. Every file is
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
import shutil
import subprocess
import sys
import tempfile

from mutagen.apev2 import APEv2
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


def make_covers(folder, sides=COVER_SIDES, name="cover",
                look=("-attenuate", "0.6", "+noise", "Gaussian", "-quality", "88")):
    """JPEG covers of the given sides, made once: noisy plasma, which compresses as photos do."""
    covers = []
    for side in sides:
        jpg = os.path.join(folder, "%s%d.jpg" % (name, side))
        if not os.path.exists(jpg):
            run(["convert", "-size", "%dx%d" % (side, side), "plasma:fractal"] + list(look) + [jpg + ".part.jpg"])
            os.rename(jpg + ".part.jpg", jpg)
        with open(jpg, "rb") as f:
            covers.append(f.read())
    return covers


def words(rng, japanese, count):
    pool = JAPANESE_WORDS if japanese else LATIN_WORDS
    return (" " if not japanese else "").join(rng.choice(pool) for _ in range(count))


def tag_frames(n, rng, v24):
    """The text frames of file n's ID3v2 tag, as a tagger that knows the album writes them."""
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
    return t


def tag_bytes(n, rng, covers):
    """The ID3v2 tag of pool file n, and its ID3v1 tag (or b"")."""
    v24 = n % 2 == 1
    t = tag_frames(n, rng, v24)
    if n % 3 == 0:
        t.add(APIC(encoding=3 if v24 else 1, mime="image/jpeg", type=3, desc="",
                   data=covers[rng.randrange(len(covers))]))
    out = io.BytesIO()
    t.save(out, v2_version=4 if v24 else 3, v1=0, padding=lambda info: rng.choice((0, 512, 1024, 2048)))
    v1 = MakeID3v1(t) if rng.random() < 0.3 else b""
    return out.getvalue(), v1


def write_spread(fh, head, sound, length, tail=b""):
    """head, then sound, a hole, sound again and tail, `length` bytes in all."""
    fh.write(head)
    fh.write(sound)
    fh.truncate(length - len(sound) - len(tail))
    fh.seek(0, 2)
    fh.write(sound)
    fh.write(tail)


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
            write_spread(f, tag, sound, length, v1)
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


# The mix of bench/tags. Each file is one of these sound kinds; every kind is drawn in a
# proportion of its own per seed. (writer, kind, lame or ffmpeg options, rate, channels)
MIX_SOUNDS = [
    ("lame", "CBR Info", ["-b", "192"]),
    ("lame", "CBR bare", ["-b", "256", "-t"]),
    ("lame", "VBR Xing", ["-V", "2"]),
    ("lame", "VBR bare", ["-V", "4", "-t"]),
    ("ffmpeg", "CBR Info", ["-b:a", "320k"]),
    ("ffmpeg", "CBR bare", ["-b:a", "128k", "-write_xing", "0"]),
    ("ffmpeg", "VBR Xing", ["-q:a", "1"]),
    ("ffmpeg", "VBR bare", ["-q:a", "3", "-write_xing", "0"]),
]
MIX_FORMATS = [(44100, 2), (48000, 2), (44100, 1)]
# Cover sides from about 50 KB to about 3 MB of JPEG.
MIX_COVER_SIDES = [220, 400, 600, 1000, 1300, 1650]
MB = 1000 * 1000


def make_mix_sounds(folder):
    """Three seconds of each sound kind in each format, and a WAV of each format."""
    os.makedirs(folder, exist_ok=True)
    sounds = {}
    for f, (rate, channels) in enumerate(MIX_FORMATS):
        wav = os.path.join(folder, "mix%d.wav" % f)
        if not os.path.exists(wav):
            run(["sox", "-n", "-r", str(rate), "-c", str(channels), "-b", "16", wav + ".part.wav", "synth",
                 str(SECONDS), "pinknoise", "sine", str(300 + 41 * f), "vol", "0.5"])
            os.rename(wav + ".part.wav", wav)
        for k, (writer, kind, opts) in enumerate(MIX_SOUNDS):
            mp3 = os.path.join(folder, "mix%d-%d.mp3" % (f, k))
            if not os.path.exists(mp3):
                if writer == "lame":
                    run(["lame", "--quiet"] + opts + [wav, mp3 + ".part"])
                else:
                    run(["ffmpeg", "-nostdin", "-loglevel", "error", "-i", wav, "-c:a", "libmp3lame"] + opts +
                        ["-id3v2_version", "0", "-f", "mp3", "-y", mp3 + ".part"])
                os.rename(mp3 + ".part", mp3)
            with open(mp3, "rb") as fh:
                sounds[(writer + " " + kind, f)] = fh.read()
        with open(wav, "rb") as fh:
            sounds[("WAV", f)] = fh.read()
    return sounds


def size_kind(length):
    return "1-5 MB" if length < 5 * MB else "5-10 MB" if length < 10 * MB else "10-15 MB"


def riff_chunk(name, body):
    pad = b"\0" if len(body) % 2 else b""
    return name + len(body).to_bytes(4, "little") + body + pad


def mix_wav(path, rng, wav, length):
    """A WAV of `length` bytes (some with a LIST INFO chunk, some with an ID3v1 tag behind the
    sound, as this program writes one); its kinds."""
    kinds = ["WAV", size_kind(length)]
    fmt_at = wav.index(b"fmt ")
    fmt = wav[fmt_at:fmt_at + 8 + int.from_bytes(wav[fmt_at + 4:fmt_at + 8], "little")]
    samples = wav[wav.index(b"data") + 8:]
    info = b""
    if rng.random() < 0.3:
        info = riff_chunk(b"LIST", b"INFO" + riff_chunk(b"INAM", words(rng, False, 3).encode() + b"\0") +
                          riff_chunk(b"IART", words(rng, False, 2).encode() + b"\0"))
        kinds.append("LIST INFO")
    v1 = b""
    if rng.random() < 0.4:
        t = ID3()
        t.add(TIT2(encoding=0, text=words(rng, False, 3)))
        t.add(TPE1(encoding=0, text=words(rng, False, 2)))
        v1 = MakeID3v1(t)
        kinds.append("ID3v1")
    data_size = length - 12 - len(fmt) - len(info) - 8 - len(v1)
    data_size -= data_size % 4
    head = b"RIFF" + (4 + len(fmt) + len(info) + 8 + data_size).to_bytes(4, "little") + b"WAVE" + fmt + info
    head += b"data" + data_size.to_bytes(4, "little")
    with open(path, "wb") as fh:
        write_spread(fh, head, samples[:len(samples) // 4 * 4], len(head) + data_size, v1)
    return kinds


def mix_mp3(path, n, rng, sound, kind, covers):
    """An MP3 of sound kind `kind` with a tag by mutagen; its kinds."""
    v24 = rng.random() < 0.5
    kinds = [kind, "ID3v2.4 UTF-8" if v24 else "ID3v2.3 UTF-16"]
    t = tag_frames(n, rng, v24)
    pictures = rng.choice((0, 0, 0, 1, 1, 1, 1, 2, 3))
    biggest = 0
    for p in range(pictures):
        # Most covers are small; now and then a scan of 1-3 MB.
        cover = covers[rng.randrange(3) if rng.random() < 0.75 else rng.randrange(len(covers))]
        biggest = max(biggest, len(cover))
        t.add(APIC(encoding=3 if v24 else 1, mime="image/jpeg", type=(3, 4, 6)[p % 3], desc="" if p == 0 else
                   "p%d" % p, data=cover))
    kinds.append("no cover" if pictures == 0 else "several covers" if pictures > 1 else
                 "cover < 1 MB" if biggest < MB else "cover 1-3 MB")
    padding = rng.choice((0, 0, rng.randrange(1, 4096), rng.randrange(4096, 65537)))
    kinds.append("no padding" if padding == 0 else "padding < 4 KB" if padding < 4096 else "padding 4-64 KB")
    out = io.BytesIO()
    t.save(out, v2_version=4 if v24 else 3, v1=0, padding=lambda info: padding)
    tag = out.getvalue()
    ends = rng.choice(("", "", "ID3v1", "APE", "APE + ID3v1"))
    v1 = MakeID3v1(t) if "ID3v1" in ends else b""
    length = max(rng.randint(1 * MB, 15 * MB), len(tag) + 2 * len(sound) + 4096)
    with open(path, "wb") as fh:
        write_spread(fh, tag, sound, length, v1)
    if "APE" in ends:
        # mutagen puts the APE tag in front of an ID3v1 tag, where players look for it.
        ape = APEv2()
        ape["Title"] = words(rng, False, 2)
        ape["Artist"] = words(rng, False, 2)
        ape["Replaygain_Track_Gain"] = "-%.2f dB" % rng.uniform(1, 9)
        ape.save(path)
    kinds.append(ends or "no end tag")
    kinds.append(size_kind(os.path.getsize(path)))
    return kinds


def make_mix(cache, seed, count):
    """CACHE/mix-SEED/: `count` files drawn from the kinds users have, in proportions drawn
    from the seed as well, with kinds.tsv naming each file's kinds (sound, tag version, covers,
    padding, tags at the end, size). MP3s of 1-15 MB: lame and ffmpeg encodes, CBR and VBR,
    with and without an Info or Xing header; ID3v2.3 UTF-16 or 2.4 UTF-8 tags by mutagen with
    0-3 covers of 50 KB-3 MB and 0-64 KB of padding; ID3v1, APE, both or neither at the end.
    WAVs of 1-15 MB. The sound at each end of a file is real; the middle is a hole."""
    folder = os.path.join(cache, "mix-%d" % seed)
    done = folder + ".complete"
    if os.path.exists(done):
        return
    for old in os.listdir(cache) if os.path.isdir(cache) else []:
        if old.startswith("mix-") and old != "mix-%d" % seed and not old.endswith(".complete"):
            shutil.rmtree(os.path.join(cache, old), ignore_errors=True)
            if os.path.exists(os.path.join(cache, old + ".complete")):
                os.remove(os.path.join(cache, old + ".complete"))
    sounds = make_mix_sounds(os.path.join(cache, "encodes"))
    covers = make_covers(os.path.join(cache, "encodes"), MIX_COVER_SIDES, "mixcover",
                         ("+noise", "Gaussian", "-quality", "92"))
    rng = random.Random(seed)
    kinds = [w + " " + k for w, k, _ in MIX_SOUNDS] + ["WAV"]
    weights = [rng.uniform(0.5, 1.5) for _ in kinds]
    os.makedirs(folder, exist_ok=True)
    lines = []
    for n in range(count):
        kind = rng.choices(kinds, weights)[0]
        fmt = rng.randrange(len(MIX_FORMATS))
        name = "%05d.%s" % (n, "wav" if kind == "WAV" else "mp3")
        path = os.path.join(folder, name)
        if kind == "WAV":
            file_kinds = mix_wav(path, rng, sounds[("WAV", fmt)], rng.randint(1 * MB, 15 * MB))
        else:
            file_kinds = mix_mp3(path, n, rng, sounds[(kind, fmt)], kind, covers)
        lines.append(name + "\t" + ",".join(file_kinds) + "\n")
    with open(os.path.join(folder, "kinds.tsv"), "w") as fh:
        fh.writelines(lines)
    open(done, "w").close()


def main():
    cache = sys.argv[1]
    if sys.argv[2:3] == ["mix"]:
        make_mix(cache, int(sys.argv[3]), int(sys.argv[4]))
        return
    tiers = sorted(int(t) for t in sys.argv[2:])
    pool = make_pool(cache, min(max(tiers), POOL_MAX))
    for tier in tiers:
        make_tier(cache, tier, pool)


if __name__ == "__main__":
    main()
