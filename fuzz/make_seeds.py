#!/usr/bin/env python3
"""Seeds for the fuzz targets from the FFmpeg files in MEDIA, written to OUT/<target>/.

Movies and MXF files are kept whole when small, and cut: media data shortened
to a few bytes, so that the inputs are mostly tables and headers, where
mutations matter."""
import os
import struct
import sys

media, out = sys.argv[1], sys.argv[2]
KEEP_WHOLE = 96 * 1024


def write(target, name, data):
    with open(os.path.join(out, target, name), "wb") as f:
        f.write(data)


def atoms(data):
    pos = 0
    while pos + 8 <= len(data):
        size, kind = struct.unpack(">I4s", data[pos:pos + 8])
        header = 8
        if size == 1 and pos + 16 <= len(data):
            size = struct.unpack(">Q", data[pos + 8:pos + 16])[0]
            header = 16
        elif size == 0:
            size = len(data) - pos
        if size < header:
            break
        yield pos, size, header, kind
        pos += size


def cut_movie(data, keep):
    """Every top-level "mdat" shortened to `keep` payload bytes."""
    parts = []
    for pos, size, header, kind in atoms(data):
        if kind == b"mdat":
            payload = data[pos + header:pos + min(size, header + keep)]
            parts.append(struct.pack(">I4s", 8 + len(payload), b"mdat") + payload)
        else:
            parts.append(data[pos:pos + size])
    return b"".join(parts)


def klvs(data):
    pos = 0
    while pos + 17 <= len(data):
        key = data[pos:pos + 16]
        first = data[pos + 16]
        if first < 0x80:
            length, lsize = first, 1
        else:
            n = first & 0x7F
            if n == 0 or n > 8 or pos + 17 + n > len(data):
                break
            length, lsize = int.from_bytes(data[pos + 17:pos + 17 + n], "big"), 1 + n
        yield pos, key, 16 + lsize, length
        pos += 16 + lsize + length


ESSENCE = bytes([0x06, 0x0E, 0x2B, 0x34, 0x01, 0x02, 0x01, 0x01, 0x0D, 0x01, 0x03, 0x01])
BODY_OR_FOOTER = bytes([0x06, 0x0E, 0x2B, 0x34, 0x02, 0x05, 0x01, 0x01, 0x0D, 0x01, 0x02, 0x01, 0x01])


def cut_mxf(data, keep):
    """Essence elements shortened to `keep` bytes (partition offsets then point elsewhere)."""
    parts = []
    for pos, key, header, length in klvs(data):
        if key.startswith(ESSENCE):
            value = data[pos + header:pos + header + min(length, keep)]
            parts.append(key + b"\x83" + len(value).to_bytes(3, "big") + value)
        else:
            parts.append(data[pos:pos + header + length])
    return b"".join(parts)


def header_only(data):
    """The file up to its first essence element or second partition."""
    for pos, key, header, length in klvs(data):
        if pos and (key.startswith(ESSENCE) or key.startswith(BODY_OR_FOOTER)):
            return data[:pos]
    return data


def read(name):
    with open(os.path.join(media, name), "rb") as f:
        return f.read()


names = sorted(os.listdir(media))
for name in names:
    data = read(name)
    stem = os.path.splitext(name)[0] + "_" + os.path.splitext(name)[1][1:]
    if name.endswith((".mov", ".mp4")):
        for target in ("qt_reader", "identify"):
            if len(data) <= KEEP_WHOLE:
                write(target, stem, data)
            write(target, stem + "_cut", cut_movie(data, 16))
        write("qt_reader", stem + "_tables", cut_movie(data, 0))
    elif name.endswith(".mxf"):
        cut = cut_mxf(data, 32)
        for target in ("mxf_reader", "imx_reader", "identify"):
            if len(data) <= KEEP_WHOLE:
                write(target, stem, data)
            write(target, stem + "_cut", cut)
        write("mxf_reader", stem + "_header", header_only(data))
        write("imx_reader", stem + "_header", header_only(data))
        for mode in range(4):
            write("mxf_klv", "%s_%d" % (stem, mode), bytes([mode * 2 + (mode & 1)]) + cut[:2048])
    elif name.endswith(".h264"):
        nals = data.split(b"\x00\x00\x00\x01")
        # The same frame without its parameter sets (as P2 cameras and MXF store it).
        bare = b"".join(b"\x00\x00\x00\x01" + n for n in nals if n and (n[0] & 0x1F) not in (7, 8))
        # Whole frames only while they are small: the fuzzer's input size follows the largest seed.
        for mode in (2, 10, 34):
            if len(data) <= 160 * 1024:
                write("avcintra", "%s_%d" % (stem, mode), bytes([mode]) + data)
                write("avcintra", "%s_bare_%d" % (stem, mode), bytes([mode]) + bare)
        write("avcintra", stem + "_head", bytes([34]) + data[:4096])
        # Length-prefixed instead of start codes, as in QuickTime samples.
        prefixed = b"".join(len(n).to_bytes(4, "big") + n for n in nals if n)
        write("avcintra", stem + "_prefixed", bytes([0]) + prefixed)

# Descriptive metadata sets: the fuzz target declares every known property
# label under the dynamic tag 0x8000 + the property's index in our table.
TAG = {"SeriesTitle": 31, "ProgrammeTitle": 32, "EpisodeTitleNumber": 33, "ShimName": 34, "ShimVersion": 35,
       "AudioTrackLayout": 36, "PrimaryAudioLanguage": 37, "ClosedCaptionsPresent": 38, "ClosedCaptionsType": 39,
       "ClosedCaptionsLanguage": 40, "ProductionNumber": 41, "Synopsis": 42, "Originator": 43, "CopyrightYear": 44,
       "Genre": 47, "PictureRatio": 49, "3D": 50, "LineUpStart": 61, "IdentClockStart": 62,
       "TotalNumberOfParts": 63, "TotalProgrammeDuration": 64, "CompletionDate": 72, "ContactEmail": 76,
       "DescriptiveText": 80}


def item(tag, value):
    return struct.pack(">HH", tag, len(value)) + value


def utf16(text):
    return text.encode("utf-16-be")


def dyn(name):
    return 0x8000 + TAG[name]


core = (item(0x3C0A, bytes(range(16))) + item(dyn("SeriesTitle"), utf16("Series")) +
        item(dyn("ProgrammeTitle"), utf16("Programme")) + item(dyn("EpisodeTitleNumber"), utf16("12")) +
        item(dyn("ShimName"), utf16("UK DPP HD")) + item(dyn("ShimVersion"), b"\x01\x02") +
        item(dyn("AudioTrackLayout"), b"\x03") + item(dyn("PrimaryAudioLanguage"), utf16("eng")) +
        item(dyn("ClosedCaptionsPresent"), b"\x01") + item(dyn("ClosedCaptionsType"), b"\x02") +
        item(dyn("ClosedCaptionsLanguage"), utf16("fra")))
dpp = (item(dyn("ProductionNumber"), utf16("ABC/123")) + item(dyn("Synopsis"), utf16("Text")) +
       item(dyn("Originator"), utf16("Org")) + item(dyn("CopyrightYear"), b"\x07\xe6") +
       item(dyn("Genre"), utf16("Drama")) + item(dyn("PictureRatio"), b"\x00\x00\x00\x10\x00\x00\x00\x09") +
       item(dyn("3D"), b"\x00") + item(dyn("LineUpStart"), b"\x00" * 7 + b"\x10") +
       item(dyn("IdentClockStart"), b"\x00" * 7 + b"\x20") + item(dyn("TotalNumberOfParts"), b"\x00\x02") +
       item(dyn("TotalProgrammeDuration"), b"\x00" * 7 + b"\x64") +
       item(dyn("CompletionDate"), b"\x07\xe6\x05\x04\x0a\x00\x00\x00") +
       item(dyn("ContactEmail"), utf16("a@b.c")))
xml = (b'<?xml version="1.0" encoding="UTF-8"?><NonRealTimeMeta><VideoFormat>'
       b'<VideoFrame videoCodec="AVC_1920_1080_H422IP@L41" captureFps="25p"/></VideoFormat></NonRealTimeMeta>')
text = item(dyn("DescriptiveText"), xml)
primer = struct.pack(">II", 1, 18) + struct.pack(">H", 0x9000) + bytes([0x06, 0x0E, 0x2B, 0x34]) + bytes(12)
for kind, value in ((0, core), (1, dpp), (2, text), (4, core), (13, dpp), (30, text)):
    write("mxf_dm", "set_%d" % kind, bytes([kind, 0, 0]) + value)
write("mxf_dm", "with_primer", bytes([0, 0, len(primer)]) + primer + core + item(0x9000, b"\x01"))
write("mxf_dm", "cut", bytes([1, 0, 0]) + dpp[:-3])

XML = {
    "nrt": xml,
    "namespaces": b'<?xml version="1.0"?><a:r xmlns:a="urn:a" xmlns="urn:d" a:x="1"><a:b>t&amp;&lt;</a:b>'
                  b'<c><![CDATA[x]]>y<![CDATA[]]></c><!--c--><?p d?><e/></a:r>',
    "latin1": b'<?xml version="1.0" encoding="ISO-8859-1"?><r v="\xe9">\xe9\xff</r>',
    "cp1252": b'<?xml version="1.0" encoding="WINDOWS-1252"?><r>\x80\x9f</r>',
    "cp1251": b'<?xml version="1.0" encoding="cp-1251"?><r>\xc0\xff</r>',
    "utf16": '<?xml version="1.0" encoding="UTF-16"?><r a="b">x</r>'.encode("utf-16"),
    "dtd": b'<?xml version="1.0"?><!DOCTYPE r SYSTEM "r.dtd" [<!ENTITY e "ent">]><r>&e;</r>',
    "pubid": b'<!DOCTYPE r PUBLIC "-//x//y" "s.dtd"><!--before--><r/><?after x?>',
    "deep": b"<a>" * 200 + b"</a>" * 200,
    "whitespace": b"<r>\n  <a>  </a>\n  <b>x</b>\n</r>\n",
    "bom": b"\xef\xbb\xbf<?xml version='1.0' standalone='yes'?><r xml:lang='en'/>",
}
for name, data in XML.items():
    write("xml", name, data)

PATHS = ["/NonRealTimeMeta/VideoFormat/VideoFrame", "//c[@id='1']", "a/b[c]/..", "*[last()]",
         "n:VideoFormat/x:Layout[text()='text']", "//b[1] | //c[first()]", "(a)", "x:Layout[@x:pixel!='1']/.",
         "LtcChangeTable/LtcChange[@status='end' and @frameCount or name()='x']", "//LtcChange[2]/@value",
         "VideoFormat[VideoFrame/@captureFps='25p']", "Duration[.='']", "//*[text()]", "/", "//", ".[a]",
         "a and b", "LtcChangeTable[LtcChange='x']", "//c[(@id='1' or @id='2') and text()='1']", "a//b//c/../.."]
for i, path in enumerate(PATHS):
    write("xpath", "path_%02d" % i, path.encode())

for i, text in enumerate(["10:00:00:00", "01:00:00;02", "23:59:59;29.", "PAL", "NTSC Drop", "99:99:99:99", ""]):
    write("timecode", "tc_%d" % i, bytes([i * 37 % 256]) * 48 + text.encode())
