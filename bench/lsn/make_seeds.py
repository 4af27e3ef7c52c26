#!/usr/bin/env python3
"""Writes a small seed corpus of packed project files (and project indexes) into a folder,
built straight from the byte layout: usage make_seeds.py FOLDER"""
import json
import os
import struct
import sys
import zlib


def plain(b):
    return struct.pack('<i', len(b)) + b


def comp(b):
    return plain(struct.pack('>I', len(b)) + zlib.compress(b, 2))


def member(name, content, piece=20480):
    head = json.dumps({"birthTime": 1000, "fileName": name, "fileSize": len(content),
                       "lastModified": 2000, "type": "file"}, separators=(',', ':'))
    out = comp(head.encode())
    for i in range(0, len(content), piece):
        out += plain(content[i:i + piece])
    return out + comp(b'file write end')


def pack(members):
    total = sum(len(c) for _, c in members)
    head = json.dumps({"allFileSize": total, "fileCount": len(members)}, separators=(',', ':'))
    out = comp(b'lumora_record') + comp(head.encode())
    for name, content in members:
        out += member(name, content)
    return out


INDEX_ONE = (b'[General]\navDatas=@Variant(\\0\\0\\0\\t\\0\\0\\0\\x1\\0\\0\\0\\x8f\\0\\0\\0'
             b'\\x12{\\"uuid\\":\\"{a}\\"})\n')
INDEX_TWO = (b'[General]\navDatas="@Variant(\\0\\0\\0\\x8f\\0\\0\\0\\f{\\"title\\":1})", '
             b'"@Variant(\\0\\0\\0\\x8f\\0\\0\\0\\x2{})"\n')
INDEX_NONE = b'[General]\navDatas=@Invalid()\n'

def index_with(clips):
    """A project index holding `clips` (dicts) as QSettings writes a list of JSON objects."""
    def be32(n):
        return b''.join(b'\\x%x' % b for b in struct.pack('>I', n))
    body = b'\\0\\0\\0\\t' + be32(len(clips))
    for clip in clips:
        text = json.dumps(clip, separators=(',', ':')).encode()
        body += b'\\0\\0\\0\\x8f' + be32(len(text)) + text.replace(b'"', b'\\"')
    return b'[General]\navDatas="@Variant(' + body + b')"\n'


# Clip times at the limits of 64-bit numbers and beyond them.
I64_MIN, I64_MAX = -2**63, 2**63 - 1
INDEX_LIMITS = index_with([
    {"uuid": "{a}", "fileName": "a.mp4", "duration": I64_MAX, "position": I64_MIN,
     "beginTime": I64_MIN, "endTime": I64_MAX, "videoSize": "2147483647x2147483647"},
    {"uuid": "{b}", "fileName": "a.mp4", "duration": 2**62, "position": 2**62,
     "beginTime": -2**62, "endTime": 2**62, "videoSize": "-1x-1"},
    {"uuid": "{c}", "fileName": "a.mp4", "duration": 10**12, "beginTime": 10**12 - 1,
     "endTime": 10**12, "videoSize": "1x1"},
    {"uuid": "{d}", "fileName": "a.mp4", "duration": 1e30, "beginTime": -1e30,
     "endTime": 1e300, "position": "9223372036854775808"},
])

seeds = {
    'index_only.lsn': pack([('pro.lsnc', INDEX_ONE)]),
    'two_clips.lsn': pack([('pro.lsnc', INDEX_TWO), ('a.mp4', bytes(range(256)) * 100),
                           ('a.mp4_1.jpg', b'')]),
    'empty_project.lsn': pack([('pro.lsnc', INDEX_NONE), ('Cover.png', b'\x89PNG' * 10)]),
    'piece_edge.lsn': pack([('pro.lsnc', INDEX_ONE), ('b.mp4', b'b' * 20481)]),
    'bad_name.lsn': pack([('pro.lsnc', INDEX_ONE), ('../x', b'x')]),
    'index_limits.lsn': pack([('pro.lsnc', INDEX_LIMITS), ('a.mp4', b'a' * 100)]),
    'index_limits.ini': INDEX_LIMITS,
    'index_one.ini': INDEX_ONE,
    'index_two.ini': INDEX_TWO,
}

os.makedirs(sys.argv[1], exist_ok=True)
for name, data in seeds.items():
    with open(os.path.join(sys.argv[1], name), 'wb') as f:
        f.write(data)
