#!/usr/bin/env python3
"""Sends one recovery request (search or fetch) to 234.4.8.10:4810 from
127.0.0.1 and prints the answer that comes back to port 4811, if any."""
import argparse
import socket
import struct

GROUP = "234.4.8.10"
LOCAL = "127.0.0.1"

parser = argparse.ArgumentParser()
parser.add_argument("--serial", required=True)
parser.add_argument("--command", type=int, default=0)
parser.add_argument("--port", type=int, default=0)
parser.add_argument("--file", default="")
parser.add_argument("--wait", type=float, default=2.0)
args = parser.parse_args()

request = bytearray(160)
request[0] = args.command
request[4:8] = b"RECM"
serial = args.serial.encode()[:19]
request[8:8 + len(serial)] = serial
struct.pack_into(">H", request, 28, args.port)
name = args.file.encode()[:127]
request[32:32 + len(name)] = name

answers = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
answers.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
answers.bind((LOCAL, 4811))
answers.settimeout(args.wait)

sender = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
sender.setsockopt(socket.IPPROTO_IP, socket.IP_MULTICAST_IF, socket.inet_aton(LOCAL))
sender.bind((LOCAL, 0))
sender.sendto(bytes(request), (GROUP, 4810))

try:
    data, source = answers.recvfrom(1024)
except socket.timeout:
    print("none")
    raise SystemExit(0)


def text(offset):
    return data[offset:offset + 20].split(b"\0")[0].decode(errors="replace")


print("length=%d" % len(data))
if len(data) >= 98:
    print("serial=%s" % text(8))
    print("product=%s" % text(28))
    print("mac=%s" % data[48:54].hex().upper())
    print("software=%s" % text(54))
    print("hardware=%s" % text(74))
    print("address=%s" % socket.inet_ntoa(data[94:98]))
    print("fields-nul-terminated=%s" % all(data[o + 19] == 0 for o in (8, 28, 54, 74)))
