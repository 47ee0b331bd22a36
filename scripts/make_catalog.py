#!/usr/bin/env python3
"""Writes an unsigned catalog (a PKCS #7 signed-data message without signers
whose content is a certificate trust list) that lists one file by its SHA-1
hash, as the system's catalog search finds it; osslsigncode then signs it.
    make_catalog.py FILE CATALOG
"""
import hashlib
import sys
import time


def der(tag, body):
    n = len(body)
    if n < 0x80:
        length = bytes([n])
    else:
        octets = n.to_bytes((n.bit_length() + 7) // 8, 'big')
        length = bytes([0x80 | len(octets)]) + octets
    return bytes([tag]) + length + body


def seq(*parts):
    return der(0x30, b''.join(parts))


def set_of(*parts):
    return der(0x31, b''.join(sorted(parts)))


def oid(text):
    numbers = [int(x) for x in text.split('.')]
    body = bytes([40 * numbers[0] + numbers[1]])
    for n in numbers[2:]:
        chunk = [n & 0x7F]
        n >>= 7
        while n:
            chunk.insert(0, 0x80 | (n & 0x7F))
            n >>= 7
        body += bytes(chunk)
    return der(0x06, body)


def integer(n):
    return der(0x02, n.to_bytes(max(1, (n.bit_length() + 8) // 8), 'big'))


def octets(b):
    return der(0x04, b)


def bmp(text):
    return der(0x1E, text.encode('utf-16-be'))


def explicit(n, body):
    return der(0xA0 | n, body)


NULL = b'\x05\x00'
SHA1 = seq(oid('1.3.14.3.2.26'), NULL)
PE_IMAGE_SIP = '{C689AAB8-8E78-11D0-8C47-00C04FC295EE}'

path, out = sys.argv[1], sys.argv[2]
digest = hashlib.sha1(open(path, 'rb').read()).digest()
tag = digest.hex().upper().encode('utf-16-le')

pe_image_data = seq(der(0x03, b'\x00'), explicit(0, der(0xA2, der(0x80, '<<<Obsolete>>>'.encode('utf-16-be')))))
indirect = seq(seq(oid('1.3.6.1.4.1.311.2.1.15'), pe_image_data), seq(SHA1, octets(digest)))
member_info = seq(bmp(PE_IMAGE_SIP), integer(512))
entry = seq(octets(tag), set_of(
    seq(oid('1.3.6.1.4.1.311.2.1.4'), set_of(indirect)),
    seq(oid('1.3.6.1.4.1.311.12.2.2'), set_of(member_info))))
now = time.strftime('%y%m%d%H%M%SZ', time.gmtime()).encode()
ctl = seq(
    seq(oid('1.3.6.1.4.1.311.12.1.1')),            # subject usage: a catalog list
    octets(hashlib.md5(digest).digest()),           # list identifier
    der(0x17, now),                                 # this update
    seq(oid('1.3.6.1.4.1.311.12.1.2'), NULL),       # subject algorithm: catalog members
    seq(entry))
signed = seq(integer(1), set_of(SHA1), seq(oid('1.3.6.1.4.1.311.10.1'), explicit(0, ctl)), set_of())
open(out, 'wb').write(seq(oid('1.2.840.113549.1.7.2'), explicit(0, signed)))
