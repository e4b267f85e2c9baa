#!/usr/bin/env python3
"""Checks the built demo track: a clean MP3 stream of the intended length that
sounds from the start, ended by one ID3v1.1 tag whose Japanese texts read back
as CP932 (also through iconv, which the player's codec uses).

    test_demo_track.py DEMO.mp3 TOOLS_DEMO_DIR
"""

import array
import os
import shutil
import subprocess
import sys
import tempfile
import unittest
import wave

DEMO = sys.argv[1] if len(sys.argv) > 1 else ""
sys.dont_write_bytecode = True  # keep the source folders clean
sys.path.insert(0, sys.argv[2] if len(sys.argv) > 2 else "")
import make_demo_track as gen  # noqa: E402

BITRATES = [0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320]
RATES = [44100, 48000, 32000]


def mpeg1_layer3_frames(data):
    """Walks the frames from the start; returns (frame count, offset after the last frame)."""
    pos = 0
    if data[:3] == b"ID3":  # a leading ID3v2 tag would be fine, but skip it
        size = 0
        for b in data[6:10]:
            size = (size << 7) | (b & 0x7F)
        pos = 10 + size
    frames = 0
    end = len(data) - 128 if data[-128:-125] == b"TAG" else len(data)
    while pos + 4 <= end:
        h = int.from_bytes(data[pos:pos + 4], "big")
        if (h >> 21) & 0x7FF != 0x7FF:
            break
        version, layer = (h >> 19) & 3, (h >> 17) & 3
        bitrate, rate_i, pad = (h >> 12) & 15, (h >> 10) & 3, (h >> 9) & 1
        if version != 3 or layer != 1 or bitrate in (0, 15) or rate_i == 3:
            break
        size = 144 * BITRATES[bitrate] * 1000 // RATES[rate_i] + pad
        pos += size
        frames += 1
    return frames, pos


class BuiltTrack(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        with open(DEMO, "rb") as f:
            cls.data = f.read()

    def test_frames_fill_the_file_up_to_the_tag_and_last_15_to_25_seconds(self):
        frames, end = mpeg1_layer3_frames(self.data)
        self.assertEqual(end, len(self.data) - 128, "frames must end exactly where the tag begins")
        seconds = frames * 1152 / 44100
        self.assertGreaterEqual(seconds, 15)
        self.assertLessEqual(seconds, 25)

    def test_one_id3v1_1_tag_with_japanese_artist_and_title_in_cp932(self):
        tag = self.data[-128:]
        self.assertEqual(tag[:3], b"TAG")
        self.assertNotIn(b"TAG", self.data[-256:-128], "only one tag")
        self.assertEqual(tag[125], 0, "v1.1: NUL before the track byte")
        self.assertGreater(tag[126], 0, "v1.1: a track number")
        title, artist = tag[3:33].rstrip(b"\0"), tag[33:63].rstrip(b"\0")
        for raw in (title, artist):
            self.assertNotIn(b"\0", raw, "text fields are NUL-padded, not NUL-broken")
            text = raw.decode("cp932")
            self.assertTrue(any(ord(c) > 0x7F for c in text), text)
            # The player decodes with iconv's CP932; it must read the same text.
            out = subprocess.run(["iconv", "-f", "CP932", "-t", "UTF-8"], input=raw,
                                 stdout=subprocess.PIPE, check=True).stdout.decode("utf-8")
            self.assertEqual(out, text)
        self.assertEqual((title.decode("cp932"), artist.decode("cp932")),
                         (gen.TAG_TITLE, gen.TAG_ARTIST))

    @unittest.skipUnless(shutil.which("lame"), "lame is not installed")
    def test_sound_starts_at_once_and_does_not_clip(self):
        with tempfile.TemporaryDirectory() as tmp:
            wav_path = os.path.join(tmp, "d.wav")
            subprocess.run(["lame", "--quiet", "--decode", DEMO, wav_path], check=True)
            with wave.open(wav_path) as w:
                rate, channels = w.getframerate(), w.getnchannels()
                pcm = array.array("h", w.readframes(w.getnframes()))
        if sys.byteorder != "little":
            pcm.byteswap()
        first = pcm[:rate * channels]  # the first second
        rms = (sum(x * x for x in first) / len(first)) ** 0.5
        self.assertGreater(rms, 1000, "the first second should be audible")
        self.assertLess(max(abs(x) for x in pcm), 32767, "no clipping")


class TagBytes(unittest.TestCase):
    def test_fields_are_cut_at_character_boundaries(self):
        cases = [
            ("ascii exactly 30", "a" * 30, 30, "a" * 30),
            ("ascii too long", "b" * 31, 30, "b" * 30),
            ("double-byte exactly 30", "あ" * 15, 30, "あ" * 15),
            ("double-byte too long", "あ" * 16, 30, "あ" * 15),
            ("no half character", "a" + "あ" * 15, 30, "a" + "あ" * 14),
            ("half-width kana are one byte", "ｱｰﾃｨｽﾄ", 30, "ｱｰﾃｨｽﾄ"),
            ("year keeps four", "20261", 4, "2026"),
            ("empty", "", 30, ""),
        ]
        for name, text, size, kept in cases:
            with self.subTest(name):
                raw = gen.field(text, size)
                self.assertEqual(len(raw), size)
                self.assertEqual(raw.rstrip(b"\0").decode("cp932"), kept)

    def test_layout_of_the_128_bytes(self):
        tag = gen.id3v1_tag("t", "a", "b", "1999", "c", 7, 255)
        self.assertEqual(len(tag), 128)
        self.assertEqual((tag[3:4], tag[33:34], tag[63:64], tag[93:97], tag[97:98]),
                         (b"t", b"a", b"b", b"1999", b"c"))
        self.assertEqual((tag[125], tag[126], tag[127]), (0, 7, 255))

    def test_track_and_genre_out_of_range_are_refused(self):
        for track, genre in ((0, 1), (256, 1), (1, -1), (1, 256)):
            with self.subTest(track=track, genre=genre):
                with self.assertRaises(ValueError):
                    gen.id3v1_tag("t", "a", "b", "1999", "c", track, genre)


if __name__ == "__main__":
    unittest.main(argv=sys.argv[:1], verbosity=2)
