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

seeds = {
    'index_only.lsn': pack([('pro.lsnc', INDEX_ONE)]),
    'two_clips.lsn': pack([('pro.lsnc', INDEX_TWO), ('a.mp4', bytes(range(256)) * 100),
                           ('a.mp4_1.jpg', b'')]),
    'empty_project.lsn': pack([('pro.lsnc', INDEX_NONE), ('Cover.png', b'\x89PNG' * 10)]),
    'piece_edge.lsn': pack([('pro.lsnc', INDEX_ONE), ('b.mp4', b'b' * 20481)]),
    'bad_name.lsn': pack([('pro.lsnc', INDEX_ONE), ('../x', b'x')]),
    'index_one.ini': INDEX_ONE,
    'index_two.ini': INDEX_TWO,
}

os.makedirs(sys.argv[1], exist_ok=True)
for name, data in seeds.items():
    with open(os.path.join(sys.argv[1], name), 'wb') as f:
        f.write(data)
