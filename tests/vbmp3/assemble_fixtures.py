"""Builds the fixtures that need byte surgery or a peer tagger (mutagen) from
lame's encodings: files with odd things around or inside their audio, and
files whose only tag is an ID3v2 or APEv2 tag.
    assemble_fixtures.py ENCODINGS_DIR OUT_DIR
"""
import os
import random
import struct
import sys

from mutagen.apev2 import APEv2, APEValue, BINARY
from mutagen.id3 import ID3, APIC, COMM, TALB, TCON, TDRC, TIT2, TPE1, TRCK, TXXX
from mutagen.id3._id3v1 import MakeID3v1

src, out = sys.argv[1], sys.argv[2]


def read(name):
    with open(os.path.join(src, name), 'rb') as f:
        return f.read()


def write(name, data):
    with open(os.path.join(out, name), 'wb') as f:
        f.write(data)


def frames(data, count):
    """The first `count` MPEG-1 layer III frames of a stream without a tag."""
    pos = 0
    for _ in range(count):
        b = data[pos:pos + 4]
        assert b[0] == 0xFF and b[1] & 0xFE == 0xFA, 'not an MPEG-1 layer III frame'
        kbps = [0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320][b[2] >> 4]
        rate = [44100, 48000, 32000][(b[2] >> 2) & 3]
        pos += 144000 * kbps // rate + ((b[2] >> 1) & 1)
    return data[:pos]


def syncsafe(n):
    return bytes([(n >> 21) & 0x7F, (n >> 14) & 0x7F, (n >> 7) & 0x7F, n & 0x7F])


def picture(size, seed):
    """Bytes as a JPEG's entropy-coded data has them: 0xFF always stuffed with 0x00."""
    body = random.Random(seed).randbytes(size).replace(b'\xff', b'\xff\x00')[:size]
    return b'\xff\xd8\xff\xe0\x00\x10JFIF\x00' + body


def tagged(audio, name, tag, **save):
    """audio with an ID3v2 or APEv2 tag that mutagen writes."""
    path = os.path.join(out, name)
    write(name, audio)
    tag.save(path, **save)
    with open(path, 'rb') as f:
        return f.read()


def ape(items):
    tag = APEv2()
    for key, value in items.items():
        tag[key] = value
    return tag


def ape_tag(items):
    """An APEv2 tag (header and footer) as mutagen writes it, alone."""
    data = tagged(b'', 'ape.tmp', ape(items))
    os.remove(os.path.join(out, 'ape.tmp'))
    return data


def id3v1(title):
    return MakeID3v1({'TIT2': TIT2(encoding=0, text=title)})


cbr = read('cbr.mp3')            # 3 s stereo, Info frame first
stereo = read('stereo_t.mp3')    # no Info frame: frames can be cut and joined
mono = read('mono_t.mp3')
joint = read('joint_t.mp3')
dual = read('dual_t.mp3')

# ---- files with odd things around or inside their audio ----

# A 1.1 MB APEv2 tag with an embedded cover before the ID3v1 tag.
write('odd_ape_big.mp3', cbr + ape_tag({
    'Title': 'Cover', 'Cover Art (Front)': APEValue(b'cover.jpg\0' + picture(1100000, 1), BINARY)})
    + id3v1('Ape big'))

# A short clip (20 frames) outweighed by its tags: APEv2 with a footer only,
# a Lyrics3v2 block and an ID3v1 tag.
lyrics_ape = ape_tag({'Title': 'Lyrics', 'Comment': 'c' * 3000})
footer_only = bytearray(lyrics_ape[32:])
footer_only[-12:-8] = struct.pack('<I', struct.unpack('<I', footer_only[-12:-8])[0] & ~(1 << 31))
fields = b'IND0000210' + b'LYR' + b'%05d' % 12000 + b'la la la\r\n' * 1200
lyrics = b'LYRICSBEGIN' + fields
write('odd_ape_lyrics.mp3', frames(stereo, 20) + bytes(footer_only) + lyrics
      + b'%06d' % len(lyrics) + b'LYRICS200' + id3v1('Ape lyrics'))

# Two ID3v2 tags, the second one large.
tag = ID3()
tag.add(TIT2(encoding=3, text='First'))
first = tagged(b'', 'one.tmp', tag, v2_version=3, padding=lambda info: 256)
tag = ID3()
tag.add(TIT2(encoding=3, text='Second'))
tag.add(APIC(encoding=3, mime='image/jpeg', type=3, desc='', data=picture(60000, 2)))
second = tagged(b'', 'two.tmp', tag, padding=lambda info: 0)
for t in ('one.tmp', 'two.tmp'):
    os.remove(os.path.join(out, t))
write('odd_two_id3v2.mp3', first + second + cbr)

# An ID3v2 tag whose size runs 1000 bytes into the audio.
body = (first[6] << 21) | (first[7] << 14) | (first[8] << 7) | first[9]
write('odd_id3v2_oversized.mp3', first[:6] + syncsafe(body + 1000) + first[10:] + cbr)

# A partial download: the first 40 % of the bytes, the rest zero-filled.
e8k = read('mpeg25_8k.mp3')
kept = len(e8k) * 40 // 100
write('odd_zero_tail.mp3', e8k[:kept] + bytes(len(e8k) - kept))

# Junk after the audio, full of 0xFF bytes (which a decoder may take for
# frame syncs) and larger than the audio.
rng = random.Random(3)
junk = bytes(0xFF if i % 3 == 0 else rng.randrange(256) for i in range(100000))
write('odd_junk_tail.mp3', cbr + junk)

# The channel mode changes: mono to stereo, stereo to mono, every mode in turn.
write('odd_mono_stereo.mp3', frames(mono, 10) + frames(stereo, 100))
write('odd_stereo_mono.mp3', frames(stereo, 100) + frames(mono, 92))
write('odd_modes.mp3', frames(stereo, 20) + frames(joint, 20) + frames(dual, 20)
      + frames(mono, 20) + frames(joint, 20))

# MPEG-2.5 at 8 kHz, as it is.
write('odd_mpeg25_8k.mp3', e8k)

# ---- files whose only tag is an ID3v2 or APEv2 tag ----


def id3(*frames_):
    tag = ID3()
    for frame in frames_:
        tag.add(frame)
    return tag


tagged(cbr, 'tag_v23_utf16.mp3', id3(
    TIT2(encoding=1, text='日本語の曲名'), TPE1(encoding=1, text='テスト'),
    TALB(encoding=1, text='Album'), TDRC(encoding=1, text='2005'),
    COMM(encoding=1, lang='jpn', desc='', text='メモ'), TCON(encoding=1, text='(17)'),
    TRCK(encoding=1, text='3/12')), v2_version=3)
tagged(cbr, 'tag_v24_utf8.mp3', id3(
    TIT2(encoding=3, text='夜の歌'), TPE1(encoding=3, text='歌手'),
    TALB(encoding=3, text='アルバム'), TDRC(encoding=3, text='2024-05-01'),
    TCON(encoding=3, text='Rock'), TRCK(encoding=3, text='7')), v2_version=4)
tagged(cbr, 'tag_cp932_lacks.mp3', id3(
    TIT2(encoding=1, text='Café ☃ 雪'), TPE1(encoding=1, text='Ａｒｔｉｓｔ'),
    TALB(encoding=1, text='あ' * 70), TCON(encoding=1, text='Vaporwave'),
    COMM(encoding=1, lang='eng', desc='iTunNORM', text='ignored'),
    COMM(encoding=1, lang='eng', desc='', text='the comment')), v2_version=4)
tagged(cbr, 'tag_ape.mp3', ape({
    'Title': 'Ape Title', 'Artist': 'Ape Artist', 'Album': 'Ape Album', 'Year': '1999',
    'Track': '2/9', 'Genre': 'Jazz', 'Comment': 'ape note'}))
tagged(cbr, 'tag_picture_only.mp3', id3(
    APIC(encoding=3, mime='image/jpeg', type=3, desc='', data=picture(5000, 4))))
write('tag_v1_and_v2.mp3', tagged(cbr, 'tag_v1_and_v2.mp3', id3(
    TIT2(encoding=3, text='From ID3v2'), TPE1(encoding=3, text='v2 artist'))) + id3v1('From ID3v1'))


# ID3v2.2 (three-letter frames), which mutagen reads but does not write;
# Latin-1 frames as legacy Japanese taggers wrote them, holding CP932 bytes,
# and one holding real Latin-1.
def v22_frame(fid, text):
    body = b'\0' + text
    return fid + len(body).to_bytes(3, 'big') + body


v22 = b''.join([v22_frame(b'TT2', '昔の曲'.encode('cp932')), v22_frame(b'TP1', b'Beyonc\xe9'),
                v22_frame(b'TYE', b'1987'), v22_frame(b'TCO', b'(8)'), v22_frame(b'TRK', b'12')])
v22 += bytes(64)
write('tag_v22_latin1.mp3', b'ID3\x02\x00\x00' + syncsafe(len(v22)) + v22 + cbr)


# ---- ReplayGain: the same audio with a track gain, and a peak that caps a gain ----

tagged(cbr, 'rg_minus6.mp3', id3(TXXX(encoding=3, desc='REPLAYGAIN_TRACK_GAIN', text='-6.00 dB')))
tagged(cbr, 'rg_peak.mp3', id3(TXXX(encoding=3, desc='REPLAYGAIN_TRACK_GAIN', text='+12.00 dB'),
                               TXXX(encoding=3, desc='REPLAYGAIN_TRACK_PEAK', text='0.800000')))
tagged(cbr, 'rg_ape.mp3', ape({'REPLAYGAIN_TRACK_GAIN': '-6.000000 dB', 'REPLAYGAIN_TRACK_PEAK': '0.650000',
                               'MP3GAIN_MINMAX': '100,200'}))
# A gain among more text frames than libmpg123 can list cheaply: the tag is left out.
tagged(cbr, 'rg_crowded.mp3', id3(TXXX(encoding=3, desc='REPLAYGAIN_TRACK_GAIN', text='-6.00 dB'),
                                  *[TXXX(encoding=3, desc='note %d' % i, text='x') for i in range(4096)]))
