#!/usr/bin/env python3
"""What readers of a fleet's three reports see: BASE.xml against the JUnit
schema, BASE.prom through promtool, BASE.html in headless Chromium (one
row and one timeline bar per device with its outcome; device text is text,
no script of it runs).

    check_reports.py BASE DEVICE=OUTCOME... [--text TEXT] [--screenshot PNG]

--text: a device's text that a cell of the table must show as it is.
"""
import os
import subprocess
import sys
import xml.etree.ElementTree as ET
from html.parser import HTMLParser

HERE = os.path.dirname(os.path.abspath(__file__))


def fail(why):
    sys.exit("FAIL: " + why)


class Dom(HTMLParser):
    def __init__(self):
        super().__init__()
        self.rows, self.bars, self.tags, self.title, self.cells = {}, {}, [], "", []
        self.where = []

    def handle_starttag(self, tag, attrs):
        a = dict(attrs)
        self.tags.append(tag)
        self.where.append(tag)
        if tag == "tr" and "data-device" in a:
            self.rows[a["data-device"]] = a["data-outcome"]
        if tag == "g" and "bar" in a.get("class", "").split():
            self.bars[a["data-device"]] = a["data-outcome"]

    def handle_endtag(self, tag):
        while self.where and self.where.pop() != tag:
            pass

    def handle_data(self, data):
        if self.where and self.where[-1] == "title":
            self.title += data
        if self.where and self.where[-1] == "td":
            self.cells.append(data)


def main():
    args = sys.argv[1:]
    given = {}
    for option in ("--screenshot", "--text"):
        if option in args:
            i = args.index(option)
            given[option] = args[i + 1]
            del args[i:i + 2]
    shot, text = given.get("--screenshot"), given.get("--text")
    base, expect = args[0], dict(a.split("=", 1) for a in args[1:])

    run = subprocess.run(["xmllint", "--noout", "--schema", os.path.join(HERE, "junit.xsd"), base + ".xml"],
                         capture_output=True, text=True)
    if run.returncode:
        fail("the JUnit XML fails the schema: " + run.stderr)
    cases = ET.parse(base + ".xml").getroot().iter("testcase")
    seen = {}
    for case in cases:
        failure, skipped = case.find("failure"), case.find("skipped")
        seen[case.get("name").split()[0]] = failure.get("type") if failure is not None else (
            "skipped" if skipped is not None else "passed")
    for device, outcome in expect.items():
        want = "passed" if outcome in ("success", "already-current") else (
            "skipped" if outcome in ("not-started", "running") else outcome)
        if seen.get(device) != want:
            fail("JUnit case of %s: %s, expected %s" % (device, seen.get(device), want))

    run = subprocess.run(["promtool", "check", "metrics"], stdin=open(base + ".prom"), capture_output=True, text=True)
    if run.returncode or run.stderr.strip() or run.stdout.strip():
        fail("promtool: " + run.stdout + run.stderr)
    total = sum(int(line.rsplit(" ", 1)[1]) for line in open(base + ".prom") if line.startswith("orb_fleet_devices{"))
    if total != len(expect):
        fail("metrics count %d devices, expected %d" % (total, len(expect)))

    chromium = ["chromium", "--headless", "--no-sandbox", "--disable-gpu", "--disable-dev-shm-usage",
                "--no-first-run", "--user-data-dir=" + os.path.dirname(os.path.abspath(base)) + "/chromium"]
    url = "file://" + os.path.abspath(base + ".html")
    run = subprocess.run(chromium + ["--dump-dom", url], capture_output=True, text=True, timeout=120)
    if run.returncode or "<html" not in run.stdout:
        fail("chromium: " + run.stderr[-2000:])
    dom = Dom()
    dom.feed(run.stdout)
    if dom.rows != expect or dom.bars != expect:
        fail("the page shows rows %s and bars %s, expected %s" % (dom.rows, dom.bars, expect))
    if "pwned" in dom.title or dom.tags.count("script") != 1 or "img" in dom.tags:
        fail("device text became markup: title %r, %d scripts, img %s" % (dom.title, dom.tags.count("script"),
                                                                          "img" in dom.tags))
    if text is not None and text not in dom.cells:
        fail("no cell shows %r as text: %s" % (text, dom.cells))
    if shot:
        subprocess.run(chromium + ["--screenshot=" + shot, "--window-size=1300,760", "--hide-scrollbars", url],
                       capture_output=True, timeout=120, check=True)
    print("PASS")


main()
