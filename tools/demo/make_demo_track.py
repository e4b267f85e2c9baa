#!/usr/bin/env python3
"""Writes the demo track: a short tune synthesised here, MP3-encoded by lame,
with an ID3v1.1 tag whose texts are CP932, as the player reads them.

    make_demo_track.py OUTPUT.mp3 [--lame PATH] [--wav-only OUTPUT.wav]

Only the standard library is used; the result is the same on every run.
"""

import argparse
import array
import math
import os
import subprocess
import sys
import tempfile
import wave

RATE = 44100
TEMPO = 104  # beats per minute
BEAT = 60.0 / TEMPO

TAG_TITLE = "朝の散歩"
TAG_ARTIST = "ベルモラ楽団"
TAG_ALBUM = "Velmora デモ"
TAG_YEAR = "2026"
TAG_COMMENT = "自作のデモ曲"
TAG_TRACK = 1
TAG_GENRE = 33  # Instrumental

# Pitches as MIDI numbers.
NOTE = {"C": 0, "D": 2, "E": 4, "F": 5, "G": 7, "A": 9, "B": 11}


def midi(name):
    """'C5' -> 72, 'F#4' -> 66."""
    step, rest = name[0], name[1:]
    shift = 0
    if rest.startswith("#"):
        shift, rest = 1, rest[1:]
    elif rest.startswith("b"):
        shift, rest = -1, rest[1:]
    return 12 * (int(rest) + 1) + NOTE[step] + shift


def freq(m):
    return 440.0 * 2.0 ** ((m - 69) / 12.0)


# The tune: (pitch, beats) per bar, four beats a bar, then the chord of that bar.
MELODY = [
    ([("G4", 1), ("E5", 1), ("D5", .5), ("C5", .5), ("D5", 1)], ["C3", "C4", "E4", "G4"]),
    ([("E5", 1.5), ("C5", .5), ("A4", 2)], ["A2", "A3", "C4", "E4"]),
    ([("F4", .5), ("A4", .5), ("C5", 1), ("F5", 1), ("E5", 1)], ["F2", "F3", "A3", "C4"]),
    ([("D5", 1.5), ("B4", .5), ("G4", 2)], ["G2", "G3", "B3", "D4"]),
    ([("G4", 1), ("E5", 1), ("G5", 1), ("E5", 1)], ["C3", "C4", "E4", "G4"]),
    ([("A5", 1.5), ("G5", .5), ("E5", 2)], ["A2", "A3", "C4", "E4"]),
    ([("F5", 1), ("E5", .5), ("D5", .5), ("C5", 1), ("A4", 1)], ["D3", "D4", "F4", "A4"]),
    ([("B4", 1), ("D5", 1), ("G5", 1), ("F5", 1)], ["G2", "G3", "B3", "F4"]),
    ([("E5", 2), ("C5", 2)], ["C3", "C4", "E4", "G4"]),
]
TAIL = 2.0  # seconds of ring-out after the last bar


def add_voice(left, right, start, length, hz, amp, pan, partials, attack, decay, release):
    """Mixes one note into the two channels.

    partials: (multiple, weight) pairs; attack and release in seconds; decay is
    the time constant of the exponential fall after the attack (0 = sustained).
    """
    first = int(start * RATE)
    count = int((length + release) * RATE)
    count = min(count, len(left) - first)
    if count <= 0:
        return
    gain_l = amp * math.cos(pan * math.pi / 2)
    gain_r = amp * math.sin(pan * math.pi / 2)
    held = int(length * RATE)
    rise = max(1, int(attack * RATE))
    fall = max(1, int(release * RATE))
    # One period of the timbre, read at the note's pitch: faster than summing sines.
    table = wavetable(tuple(partials))
    step = TABLE_SIZE * hz / RATE
    phase = 0.0
    mask = TABLE_SIZE - 1
    fade = math.exp(-1.0 / (decay * RATE)) if decay > 0 else 1.0
    level = 1.0
    for i in range(count):
        env = level
        if i < rise:
            env *= i / rise
        if i >= held:
            env *= max(0.0, 1.0 - (i - held) / fall)
        level *= fade
        s = table[int(phase) & mask] * env
        phase += step
        left[first + i] += s * gain_l
        right[first + i] += s * gain_r


TABLE_SIZE = 4096
_tables = {}


def wavetable(partials):
    if partials not in _tables:
        _tables[partials] = [sum(w * math.sin(2 * math.pi * m * k / TABLE_SIZE)
                                 for m, w in partials) for k in range(TABLE_SIZE)]
    return _tables[partials]


def render():
    beats = 4 * len(MELODY)
    total = beats * BEAT + TAIL
    left = array.array("d", bytes(8 * int(total * RATE)))
    right = array.array("d", bytes(8 * int(total * RATE)))

    pluck = [(1, 1.0), (2, 0.35), (3, 0.12), (4, 0.05)]
    pad = [(1, 1.0), (2, 0.15), (3, 0.05)]
    bass = [(1, 1.0), (2, 0.3)]
    for bar, (notes, chord) in enumerate(MELODY):
        bar_start = 4 * bar * BEAT
        last = bar == len(MELODY) - 1
        # Melody: a bright pluck, slightly right.
        t = bar_start
        for pitch, beats_ in notes:
            add_voice(left, right, t, beats_ * BEAT * 0.95, freq(midi(pitch)), 0.24, 0.62,
                      pluck, 0.008, 0.55, 0.25)
            t += beats_ * BEAT
        # Pad: the upper three chord notes, soft and held for the bar.
        hold = 4 * BEAT + (TAIL - 0.6 if last else 0.0)
        for pitch in chord[1:]:
            add_voice(left, right, bar_start, hold, freq(midi(pitch)), 0.055, 0.45,
                      pad, 0.25, 0.0, 0.6)
        # Bass: the root on beats one and three, a little left.
        for beat in (0, 2):
            length = 2 * BEAT if not last or beat == 0 else TAIL + 2 * BEAT - 0.4
            add_voice(left, right, bar_start + beat * BEAT, length * 0.9,
                      freq(midi(chord[0])), 0.20, 0.4, bass, 0.01, 0.9, 0.3)
        # Arpeggio: chord notes an octave up on the off-beats, quiet, left.
        if not last:
            for k in range(4):
                pitch = midi(chord[1 + k % 3]) + 12
                add_voice(left, right, bar_start + (k + 0.5) * BEAT, 0.3 * BEAT, freq(pitch),
                          0.05, 0.25, pluck, 0.005, 0.15, 0.1)

    peak = max(max(abs(x) for x in left), max(abs(x) for x in right))
    scale = 0.89 / peak  # about -1 dBFS
    frames = array.array("h", bytes(4 * len(left)))
    for i in range(len(left)):
        frames[2 * i] = int(round(left[i] * scale * 32767))
        frames[2 * i + 1] = int(round(right[i] * scale * 32767))
    if sys.byteorder != "little":
        frames.byteswap()
    return frames


def write_wav(path, frames):
    with wave.open(path, "wb") as w:
        w.setnchannels(2)
        w.setsampwidth(2)
        w.setframerate(RATE)
        w.writeframes(frames.tobytes())


def field(text, size):
    """text as CP932 in size bytes, cut at a character boundary, NUL-padded."""
    out = b""
    for ch in text:
        b = ch.encode("cp932")
        if len(out) + len(b) > size:
            break
        out += b
    return out.ljust(size, b"\0")


def id3v1_tag(title, artist, album, year, comment, track, genre):
    """The 128 bytes of an ID3v1.1 tag (comment 28 bytes, NUL, track number)."""
    if not 1 <= track <= 255:
        raise ValueError("track number must be 1..255 in an ID3v1.1 tag")
    if not 0 <= genre <= 255:
        raise ValueError("genre must be 0..255")
    tag = (b"TAG" + field(title, 30) + field(artist, 30) + field(album, 30)
           + field(year, 4) + field(comment, 28) + b"\0" + bytes([track, genre]))
    assert len(tag) == 128
    return tag


def encode(wav_path, mp3_path, lame="lame"):
    """lame at a constant 128 kbit/s; lame adds no tag unless asked, ours follows."""
    subprocess.run([lame, "--quiet", "-b", "128", "--cbr", "-q", "2", "--noreplaygain",
                    wav_path, mp3_path], check=True)
    with open(mp3_path, "rb") as f:
        return f.read()


def main(argv):
    ap = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    ap.add_argument("output", help="MP3 file to write")
    ap.add_argument("--wav-only", metavar="WAV", help="write only the WAV file")
    ap.add_argument("--lame", default="lame", help="the lame program to encode with")
    args = ap.parse_args(argv)

    frames = render()
    if args.wav_only:
        write_wav(args.wav_only, frames)
        return 0

    out_dir = os.path.dirname(os.path.abspath(args.output))
    os.makedirs(out_dir, exist_ok=True)
    with tempfile.TemporaryDirectory(dir=out_dir) as tmp:
        wav_path = os.path.join(tmp, "demo.wav")
        mp3_path = os.path.join(tmp, "demo.mp3")
        write_wav(wav_path, frames)
        audio = encode(wav_path, mp3_path, args.lame)
        tag = id3v1_tag(TAG_TITLE, TAG_ARTIST, TAG_ALBUM, TAG_YEAR, TAG_COMMENT,
                        TAG_TRACK, TAG_GENRE)
        part = os.path.join(tmp, "out.mp3")
        with open(part, "wb") as f:
            f.write(audio + tag)
        # Renamed into place so that a broken run never leaves half a file.
        os.replace(part, args.output)
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
