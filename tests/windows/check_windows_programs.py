#!/usr/bin/env python3
"""The Windows programs are GUI-subsystem PE files that need only DLLs of a
bare Windows, and carry their firmware (byte for byte), a 32 x 32 16-colour
icon and an asInvoker manifest, all in English (United States)."""
import os
import struct
import subprocess
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from pe_resources import read_resources, subsystem  # noqa: E402

SYSTEM_DLLS = {'kernel32.dll', 'user32.dll', 'gdi32.dll', 'comctl32.dll', 'ws2_32.dll',
               'winmm.dll', 'msvcrt.dll', 'bcrypt.dll', 'advapi32.dll', 'iphlpapi.dll'}
ENGLISH_US = 1033


def check(program, build, firmware_ids):
    exe = os.path.join(build, 'apps', program, program + '.exe')
    problems = []
    if subsystem(exe) != 2:
        problems.append('not a Windows GUI program')
    dump = subprocess.run(['x86_64-w64-mingw32-objdump', '-p', exe], capture_output=True, text=True,
                          check=True).stdout
    for line in dump.splitlines():
        if 'DLL Name:' in line:
            dll = line.split()[-1].lower()
            if dll not in SYSTEM_DLLS:
                problems.append('needs %s, which a bare Windows lacks' % dll)
    resources = read_resources(exe)
    for (_, _, lang) in resources:
        if lang != ENGLISH_US:
            problems.append('a resource in language %d' % lang)
    for rid, image_name in firmware_ids:
        blob = resources.get(('ORB_FIRMWARE', rid, ENGLISH_US))
        image = open(os.path.join(build, 'apps', program, 'images', image_name), 'rb').read()
        if blob is None:
            problems.append('no ORB_FIRMWARE %d' % rid)
        elif blob != image:
            problems.append('ORB_FIRMWARE %d differs from the image' % rid)
    groups = [blob for (t, _, _), blob in resources.items() if t == 14]
    if len(groups) != 1:
        problems.append('expected one icon, found %d' % len(groups))
    else:
        width, height, colours = struct.unpack_from('<BBB', groups[0], 6)
        if (width, height, colours) != (32, 32, 16):
            problems.append('icon is %dx%d with %d colours' % (width, height, colours))
    manifest = resources.get((24, 1, ENGLISH_US), b'').decode('utf-8', 'replace')
    if 'level="asInvoker"' not in manifest or 'uiAccess="false"' not in manifest:
        problems.append('manifest does not ask for asInvoker without UI access')
    return problems


def main(build):
    failed = False
    for program, ids in (('orbflash', [(112, 'orbflash.img')]), ('orbstage', [(726, 'orbstage.img')])):
        problems = check(program, build, ids)
        for problem in problems:
            print('FAIL %s: %s' % (program, problem))
        failed |= bool(problems)
        if not problems:
            print('ok %s' % program)
    return 1 if failed else 0


if __name__ == '__main__':
    sys.exit(main(sys.argv[1]))
