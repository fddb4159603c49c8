#!/usr/bin/env python3
"""Folders are layers: each #include "..." of our own sources names a header
of its own layer or of one below it. Prints each upward edge and fails when
there is one. (The build refuses them too: each library exports only its
own folder.)"""
import pathlib
import re
import sys

root = pathlib.Path(sys.argv[1] if len(sys.argv) > 1 else ".").resolve()

LAYERS = ["platform", "base", "net", "core", "ui", "apps"]
include = re.compile(r'^\s*#\s*include\s+"([^"]+)"', re.M)

problems = []
for layer in LAYERS:
    for source in sorted((root / layer).rglob("*")):
        if source.suffix not in (".h", ".cpp"):
            continue
        for target in include.findall(source.read_text(errors="replace")):
            other = target.split("/")[0]
            if other in LAYERS and LAYERS.index(other) > LAYERS.index(layer):
                problems.append(f"{source.relative_to(root)} ({layer}) includes {target} ({other})")

for problem in problems:
    print(problem)
print(f"{len(problems)} upward include(s)")
sys.exit(1 if problems else 0)
