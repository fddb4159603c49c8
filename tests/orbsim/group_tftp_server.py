#!/usr/bin/env python3
"""A one-file TFTP server on the recovery group, as a PC in recovery serves:
it accepts the read request only when sent to 234.4.8.10, sends OACK and
DATA to the group at the requester's port, and takes ACKs on its unicast
address 127.0.0.1 at the same port. Exits 0 once every block is acknowledged."""
import argparse
import socket
import struct
import sys
import time

GROUP = "234.4.8.10"
LOCAL = "127.0.0.1"

parser = argparse.ArgumentParser()
parser.add_argument("--port", type=int, required=True)
parser.add_argument("--name", required=True)
parser.add_argument("--image", required=True)
parser.add_argument("--wait", type=float, default=20.0)
args = parser.parse_args()
image = open(args.image, "rb").read()

# Bound to the group itself: only datagrams sent to the group arrive here.
requests = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
requests.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
requests.bind((GROUP, args.port))
requests.setsockopt(socket.IPPROTO_IP, socket.IP_ADD_MEMBERSHIP,
                    socket.inet_aton(GROUP) + socket.inet_aton(LOCAL))
transfer = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
transfer.bind((LOCAL, args.port))
transfer.setsockopt(socket.IPPROTO_IP, socket.IP_MULTICAST_IF, socket.inet_aton(LOCAL))
print("ready", flush=True)

requests.settimeout(args.wait)
try:
    packet, client = requests.recvfrom(1024)
except socket.timeout:
    sys.exit("no read request")
fields = packet[2:].split(b"\0")
if struct.unpack(">H", packet[:2])[0] != 1 or fields[0].decode() != args.name:
    sys.exit("unexpected request %r" % packet)
if fields[1].lower() != b"octet" or b"tsize" not in fields or b"timeout" not in fields:
    sys.exit("mode or options missing: %r" % packet)
print("RRQ %s from %s:%d" % (fields[0].decode(), client[0], client[1]), flush=True)

target = (GROUP, client[1])
blocks = len(image) // 512 + 1
option_ack = struct.pack(">H", 6) + b"tsize\0" + str(len(image)).encode() + b"\0timeout\0" + b"5\0"
transfer.settimeout(0.3)
deadline = time.monotonic() + args.wait
awaited = 0  # the block whose ACK is due; 0 answers the OACK
packet_out = option_ack
transfer.sendto(packet_out, target)
while True:
    if time.monotonic() > deadline:
        sys.exit("timed out waiting for ACK %d" % awaited)
    try:
        ack, source = transfer.recvfrom(1024)
    except socket.timeout:
        transfer.sendto(packet_out, target)
        continue
    if source != client:
        sys.exit("ACK from %s:%d, not from the requester" % source)
    opcode, number = struct.unpack(">HH", ack[:4])
    if opcode != 4 or number != awaited & 0xFFFF:
        continue
    if awaited == blocks:
        break
    awaited += 1
    packet_out = struct.pack(">HH", 3, awaited & 0xFFFF) + image[(awaited - 1) * 512:awaited * 512]
    transfer.sendto(packet_out, target)
print("served %d bytes in %d blocks" % (len(image), blocks), flush=True)
