#!/usr/bin/env python3
"""A second host on the test network that should not be trusted.

  steal     --address A --sim-log FILE [--version V] [--save FILE]
            watches the simulated device's log for the upgrade trigger, asks
            the named TFTP server for the same file from A first, and serves
            a status page on A:80 claiming the fetched image's version.
  flood     --address A --to HOST:PORT [--rate N] [--seconds S]
            sends junk datagrams to HOST:PORT until stopped, or S seconds
            (default 300) have passed.
  recovery  --address A --mode other-serial|junk|bad-address|burst
            answers recovery searches on 234.4.8.10:4810 wrongly.

One line per event on stdout, "rogue: ...", flushed. "rogue: ready" once the
sockets are bound. Loopback addresses only. Ends cleanly on SIGTERM or SIGINT."""
import argparse
import ipaddress
import os
import random
import re
import select
import signal
import socket
import struct
import sys
import threading
import time

GROUP = "234.4.8.10"
REQUEST_PORT = 4810
ANSWER_PORT = 4811
STOP = threading.Event()


def log(text):
    print("rogue: " + text, flush=True)


def on_signal(_number, _frame):
    STOP.set()


def loopback(text):
    """An address on 127.0.0.0/8, or an argparse error: this host talks to nothing else."""
    try:
        address = ipaddress.IPv4Address(text)
    except ValueError:
        raise argparse.ArgumentTypeError("not an IPv4 address: %s" % text)
    if not address.is_loopback:
        raise argparse.ArgumentTypeError("only loopback addresses (127.0.0.0/8): %s" % text)
    return text


def loopback_endpoint(text):
    host, _, port = text.rpartition(":")
    if not host or not port.isdigit() or not 0 < int(port) < 65536:
        raise argparse.ArgumentTypeError("HOST:PORT expected: %s" % text)
    return loopback(host), int(port)


def shown(raw):
    """Bytes from the network as one harmless log field."""
    out = []
    for byte in raw:
        if byte == 0x5C or byte == 0x22:
            out.append("\\" + chr(byte))
        elif 0x20 <= byte < 0x7F:
            out.append(chr(byte))
        else:
            out.append("\\x%02x" % byte)
    return "".join(out)


# ---- steal ---------------------------------------------------------------

def status_page(version, o):
    """The device's status page, in the simulated device's shape."""
    rows = [("Product Name:", o.product), ("MAC Address:", o.mac), ("Software Version:", version),
            ("Hardware Version:", o.hardware), ("Serial Number:", o.serial)]
    table = "".join("<tr><td>%s</td><td>%s</td></tr>\r\n" % row for row in rows)
    return ("<html><head><title>Advanced</title></head>\r\n<body>\r\n<h1>Device Information</h1>\r\n"
            "<table>\r\n" + table + "</table>\r\n</body></html>\r\n")


def image_version(image):
    """The NUL-terminated version at offset 92 of the 128-byte header."""
    end = image.find(b"\0", 92, 128)
    if len(image) < 93 or end < 0:
        return None
    return image[92:end].decode("latin-1")


class Claim:
    """What the rogue's status page says; a stolen image changes it."""

    def __init__(self, version):
        self.lock = threading.Lock()
        self.version = version

    def get(self):
        with self.lock:
            return self.version

    def set(self, version):
        with self.lock:
            self.version = version


def serve_http(listener, claim, o):
    while not STOP.is_set():
        ready, _, _ = select.select([listener], [], [], 0.1)
        if not ready:
            continue
        try:
            connection, _ = listener.accept()
        except OSError:
            continue
        with connection:
            connection.settimeout(5)
            head = b""
            try:
                while b"\r\n\r\n" not in head and len(head) < 16384:
                    piece = connection.recv(4096)
                    if not piece:
                        break
                    head += piece
            except OSError:
                continue
            lines = head.split(b"\r\n")
            words = lines[0].split(b" ")
            path = words[1] if len(words) >= 3 else b"?"
            auth = any(line.lower().startswith(b"authorization:") for line in lines[1:])
            method = words[0] if words else b"?"
            log("http %s %s auth=%s" % (shown(method), shown(path), "yes" if auth else "no"))
            body = status_page(claim.get(), o).encode("latin-1")
            answer = (b"HTTP/1.1 200 OK\r\nContent-Type: text/html\r\nContent-Length: %d\r\n"
                      b"Connection: close\r\n\r\n" % len(body)) + body
            try:
                connection.sendall(answer)
                connection.shutdown(socket.SHUT_WR)
            except OSError:
                pass


def tftp_fetch(address, server, name, o):
    """Fetches name from server as a device would; the bytes, or None."""
    tftp = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
    tftp.bind((address, 0))
    request = struct.pack(">H", 1) + name + b"\0octet\0tsize\0" + b"0\0timeout\0" + b"5\0"
    log("RRQ %s to %s:%d from %s:%d" % (shown(name), server[0], server[1], address, tftp.getsockname()[1]))
    peer = None
    last = request
    got = bytearray()
    expected = 1
    tries = 0
    try:
        while not STOP.is_set():
            tftp.sendto(last, peer or server)
            ready, _, _ = select.select([tftp], [], [], o.retry)
            if not ready:
                tries += 1
                if tries > o.retries:
                    if got:
                        log("stopped answering after %d bytes" % len(got))
                    else:
                        log("no answer")
                    return None
                continue
            packet, sender = tftp.recvfrom(4 + 65464)
            if sender[0] != server[0] or (peer and sender != peer) or len(packet) < 4:
                continue
            peer = sender
            tries = 0
            opcode, number = struct.unpack(">HH", packet[:4])
            if opcode == 5:
                log("refused ERROR %d %s" % (number, shown(packet[4:].split(b"\0")[0])))
                return None
            if opcode == 6 and expected == 1:
                last = struct.pack(">HH", 4, 0)
            elif opcode == 3 and number == expected & 0xFFFF:
                got += packet[4:]
                last = struct.pack(">HH", 4, number)
                expected += 1
                if len(packet) < 4 + 512:
                    tftp.sendto(last, peer)
                    log("served %d bytes" % len(got))
                    return bytes(got)
            # Anything else: the last packet goes again on the next round.
        return None
    finally:
        tftp.close()


TRIGGER = re.compile(r"upgrade\?tftp://(\d+\.\d+\.\d+\.\d+):(\d+)(/\S*)")


def steal(o):
    listener = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
    listener.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
    listener.bind((o.address, o.http_port))
    listener.listen(8)
    claim = Claim(o.version)
    web = threading.Thread(target=serve_http, args=(listener, claim, o), daemon=True)
    web.start()
    log("ready")
    seen = set()
    position = 0
    while not STOP.is_set():
        try:
            with open(o.sim_log, "rb") as sim_log:
                sim_log.seek(position)
                text = sim_log.read()
        except FileNotFoundError:
            text = b""
        # Whole lines only: the device may be writing the last one.
        complete = text.rfind(b"\n") + 1
        position += complete
        for line in text[:complete].decode("latin-1").splitlines():
            match = TRIGGER.search(line)
            if not match or match.group(0) in seen:
                continue
            seen.add(match.group(0))
            server = (match.group(1), int(match.group(2)))
            log("trigger seen for %s:%d%s" % (server[0], server[1], match.group(3)))
            if not ipaddress.IPv4Address(server[0]).is_loopback:
                log("not a loopback address, left alone")
                continue
            image = tftp_fetch(o.address, server, match.group(3).encode("latin-1"), o)
            if image is not None:
                if o.save:
                    with open(o.save, "wb") as out:
                        out.write(image)
                version = image_version(image)
                if version is not None:
                    claim.set(version)
                    log("claiming software version %s" % shown(version.encode("latin-1")))
        STOP.wait(0.05)
    web.join()
    listener.close()


# ---- flood ---------------------------------------------------------------

def junk(kind, rng):
    if kind == 0:
        return os.urandom(rng.randint(4, 600))
    if kind == 1:
        name = "".join(rng.choice("abcdefghijklmnopqrstuvwxyz0123456789./") for _ in range(rng.randint(1, 40)))
        return struct.pack(">H", 1) + name.encode() + b"\0octet\0"
    if kind == 2:
        return struct.pack(">HH", 4, rng.randint(0, 65535))
    return os.urandom(rng.randint(0, 3))


def flood(o):
    sender = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
    sender.bind((o.address, 0))
    rng = random.Random(o.seed)
    sent = 0
    log("flooding %s:%d at about %d a second" % (o.to[0], o.to[1], o.rate))
    start = time.monotonic()
    end = start + o.seconds
    while not STOP.is_set() and time.monotonic() < end:
        # Paced in 10 ms steps.
        due = int((time.monotonic() - start) * o.rate) + 1
        while sent < due:
            try:
                sender.sendto(junk(sent % 4, rng), o.to)
            except OSError:
                pass
            sent += 1
        STOP.wait(0.01)
    log("sent %d datagrams" % sent)


# ---- recovery ------------------------------------------------------------

def text_field(text):
    raw = text.encode("latin-1")[:19]
    return raw + b"\0" * (20 - len(raw))


def recovery_answer(serial, address, o):
    answer = bytearray(100)
    answer[0] = 1
    answer[4:8] = b"RECM"
    answer[8:28] = text_field(serial)
    answer[28:48] = text_field(o.product)
    answer[48:54] = bytes.fromhex(o.mac)
    answer[54:74] = text_field(o.version or "7.0.0")
    answer[74:94] = text_field(o.hardware)
    answer[94:98] = socket.inet_aton(address)
    return bytes(answer)


def recovery(o):
    listener = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
    listener.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
    listener.bind(("", REQUEST_PORT))
    listener.setsockopt(socket.IPPROTO_IP, socket.IP_ADD_MEMBERSHIP,
                        socket.inet_aton(GROUP) + socket.inet_aton(o.address))
    sender = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
    sender.bind((o.address, 0))
    log("ready")
    bad_addresses = ["0.0.0.0", "224.1.2.3", "255.255.255.255"]
    answers = 0
    while not STOP.is_set():
        ready, _, _ = select.select([listener], [], [], 0.1)
        if not ready:
            continue
        request, source = listener.recvfrom(2048)
        if len(request) != 160 or request[4:8] != b"RECM":
            log("%d-byte datagram from %s:%d ignored" % (len(request), source[0], source[1]))
            continue
        serial = request[8:28].split(b"\0")[0].decode("latin-1")
        if request[0] != 0:
            log("command %d for serial %s from %s left alone" % (request[0], shown(serial.encode("latin-1")), source[0]))
            continue
        to = (source[0], source[1] if o.reply_port == "sender" else int(o.reply_port))
        if o.mode == "other-serial":
            datagrams = [recovery_answer("ROGUE0001", o.address, o)]
            what = "serial ROGUE0001 at %s" % o.address
        elif o.mode == "junk":
            datagrams = [os.urandom(100)]
            what = "100 random bytes"
        elif o.mode == "bad-address":
            bad = bad_addresses[answers % len(bad_addresses)]
            datagrams = [recovery_answer(serial, bad, o)]
            what = "serial %s at %s" % (shown(serial.encode("latin-1")), bad)
        else:
            datagrams = [os.urandom(100) for _ in range(30)]
            what = "a burst of 30 random 100-byte datagrams"
        for datagram in datagrams:
            sender.sendto(datagram, to)
        answers += 1
        log("answered search for %s from %s:%d with %s to port %d" %
            (shown(serial.encode("latin-1")), source[0], source[1], what, to[1]))
    log("answered %d searches" % answers)


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    commands = parser.add_subparsers(dest="command", required=True)
    facts = argparse.ArgumentParser(add_help=False)
    facts.add_argument("--product", default="ORBQ4x4")
    facts.add_argument("--mac", default="000E08123456", help="12 hex digits")
    facts.add_argument("--hardware", default="1.0.2")
    facts.add_argument("--serial", default="ORB0012345")

    one = commands.add_parser("steal", parents=[facts], help="fetch the image first, claim its version")
    one.add_argument("--address", type=loopback, default="127.0.0.3")
    one.add_argument("--sim-log", required=True)
    one.add_argument("--version", default="7.0.0", help="claimed until an image is fetched")
    one.add_argument("--http-port", type=int, default=80)
    one.add_argument("--save", help="write the fetched image here")
    one.add_argument("--retry", type=float, default=1.0, help="seconds of silence before a resend")
    one.add_argument("--retries", type=int, default=3)

    two = commands.add_parser("flood", help="junk datagrams to a port")
    two.add_argument("--address", type=loopback, default="127.0.0.3")
    two.add_argument("--to", type=loopback_endpoint, required=True)
    two.add_argument("--rate", type=int, default=2000, help="datagrams a second")
    two.add_argument("--seconds", type=float, default=300, help="stops by itself after this long")
    two.add_argument("--seed", type=int, default=1)

    three = commands.add_parser("recovery", parents=[facts], help="wrong answers to recovery searches")
    three.add_argument("--address", type=loopback, default="127.0.0.4")
    three.add_argument("--mode", choices=["other-serial", "junk", "bad-address", "burst"], required=True)
    three.add_argument("--version", default="7.0.0")
    three.add_argument("--reply-port", default=str(ANSWER_PORT),
                       help="port the answers go to: a number, or 'sender' (default 4811, as the device)")

    o = parser.parse_args()
    if getattr(o, "mac", None) is not None and not re.fullmatch(r"[0-9A-Fa-f]{12}", o.mac):
        parser.error("--mac: 12 hex digits")
    if getattr(o, "reply_port", "sender") != "sender" and not o.reply_port.isdigit():
        parser.error("--reply-port: a number or 'sender'")
    signal.signal(signal.SIGTERM, on_signal)
    signal.signal(signal.SIGINT, on_signal)
    {"steal": steal, "flood": flood, "recovery": recovery}[o.command](o)
    return 0


if __name__ == "__main__":
    sys.exit(main())
