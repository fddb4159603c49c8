#!/usr/bin/env python3
"""The layers as the build means them: every #include "..." of our own
sources names a header of a layer the including file may see. Prints each
upward edge and fails when there is one."""
import pathlib
import re
import sys

root = pathlib.Path(sys.argv[1] if len(sys.argv) > 1 else ".").resolve()

BASE = {"core/text.h", "core/debug_trace.h", "core/random.h", "core/firmware_image.h", "core/model_table.h"}
SEAM = {"ui/wizard.h", "ui/progress.h", "ui/dialog_texts.h"}


def layer(path):
    """The layer a source or header belongs to."""
    text = str(path)
    if text.startswith("platform/"):
        return "platform"
    if text in BASE or text.replace(".cpp", ".h") in BASE:
        return "base"
    if text.startswith("net/"):
        return "net"
    if text.startswith("core/"):
        return "driver"
    if text in SEAM or text in ("ui/front_end.cpp", "ui/dialog_texts.cpp"):
        return "seam"
    if text.startswith("ui/terminal/") or text.startswith("ui/win32/"):
        return "front end"
    if text.startswith("ui/"):
        return "dialogs"
    if text.startswith("apps/"):
        return "apps"
    return None


# Which layers each layer may include from.
ALLOWED = {
    "platform": {"platform"},
    "base": {"platform", "base"},
    "net": {"platform", "base", "net"},
    "seam": {"seam"},
    "driver": {"platform", "base", "net", "driver", "seam"},
    "dialogs": {"platform", "base", "net", "driver", "seam", "dialogs"},
    "front end": {"platform", "base", "net", "driver", "seam", "dialogs", "front end"},
    "apps": {"platform", "base", "net", "driver", "seam", "dialogs", "apps"},
}

include = re.compile(r'^\s*#\s*include\s+"([^"]+)"', re.M)
problems = []
for source in sorted(root.glob("*/**/*")):
    relative = source.relative_to(root)
    if source.suffix not in (".h", ".cpp") or relative.parts[0] not in ("platform", "core", "net", "ui", "apps"):
        continue
    own = layer(relative)
    for target in include.findall(source.read_text(errors="replace")):
        other = layer(pathlib.PurePosixPath(target))
        if other is None:
            continue
        # The native front end is reached only through its one header.
        if own == "apps" and target == "ui/native_front_end.h":
            continue
        if other not in ALLOWED[own]:
            problems.append(f"{relative} ({own}) includes {target} ({other})")

for problem in problems:
    print(problem)
print(f"{len(problems)} upward include(s)")
sys.exit(1 if problems else 0)
