#!/usr/bin/env python3
"""The dialog templates compiled into orbflash.exe and orbstage.exe, read back
from the resources and compared with the layout tables below: every template
of each program and no other, its title, size, font and window styles, and
each control in template order with its id, class, rectangle, text and the
styles that matter (default button, read-only, password, upper case,
multi-line, border, tab stop)."""
import os
import re
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from pe_resources import parse_dialog, read_resources  # noqa: E402

ENGLISH_US = 1033
RT_DIALOG = 5
NO_ID = 0xFFFF
IDOK, IDCANCEL = 1, 2
IDI_PROGRAM = 1

WS_POPUP, WS_CHILD, WS_VISIBLE = 0x80000000, 0x40000000, 0x10000000
WS_CAPTION, WS_BORDER, WS_SYSMENU = 0xC00000, 0x800000, 0x80000
WS_VSCROLL, WS_TABSTOP = 0x200000, 0x10000
DS_MODALFRAME, DS_SETFONT = 0x80, 0x40
ES_CENTER, ES_MULTILINE, ES_UPPERCASE, ES_PASSWORD = 0x1, 0x4, 0x8, 0x20
ES_AUTOHSCROLL, ES_READONLY = 0x80, 0x800
BS_DEFPUSHBUTTON = 0x1
SS_LEFT, SS_CENTER, SS_RIGHT, SS_ICON = 0x0, 0x1, 0x2, 0x3
CBS_DROPDOWNLIST = 0x3

DIALOG_STYLE = DS_MODALFRAME | WS_POPUP | WS_CAPTION | WS_SYSMENU
EDIT_BITS = ES_CENTER | ES_MULTILINE | ES_UPPERCASE | ES_PASSWORD | ES_AUTOHSCROLL | ES_READONLY | WS_BORDER | WS_TABSTOP

# Control kinds: class and the style bits the kind fixes.
KINDS = {
    'push': ('BUTTON', None),
    'default': ('BUTTON', None),
    'area': ('EDIT', ES_MULTILINE | ES_READONLY | ES_AUTOHSCROLL | WS_TABSTOP),
    'area, no tab stop': ('EDIT', ES_MULTILINE | ES_READONLY | ES_AUTOHSCROLL),
    'value, no border': ('EDIT', ES_READONLY | ES_AUTOHSCROLL),
    'value, border': ('EDIT', ES_READONLY | ES_AUTOHSCROLL | WS_BORDER),
    'value, border, centred': ('EDIT', ES_READONLY | ES_AUTOHSCROLL | WS_BORDER | ES_CENTER),
    'entry': ('EDIT', WS_BORDER | ES_AUTOHSCROLL | WS_TABSTOP),
    'entry, password': ('EDIT', WS_BORDER | ES_AUTOHSCROLL | WS_TABSTOP | ES_PASSWORD),
    'entry, upper case': ('EDIT', WS_BORDER | ES_AUTOHSCROLL | WS_TABSTOP | ES_UPPERCASE),
    'ip': ('SYSIPADDRESS32', None),
    'list': ('COMBOBOX', None),
    'left': ('STATIC', None),
    'right': ('STATIC', None),
    'centred': ('STATIC', None),
    'icon': ('STATIC', None),
    'bar': ('MSCTLS_PROGRESS32', None),
}

# Placeholders for texts the code also holds (ui/dialog_texts.cpp).
ADDRESS_111, ADDRESS_113, WAITING_TEXT = '<address 111>', '<address 113>', '<waiting text>'

# (id, kind, x, y, w, h, text); text None: set when the dialog opens.
WELCOME = (141, 'Velmora ORB Device Firmware Upgrade Utility', 220, 149, [
    (1029, 'push', 61, 126, 93, 14, 'Recover Firmware'),
    (1028, 'default', 61, 105, 93, 14, 'Upgrade Firmware '),
    (1031, 'area', 17, 10, 200, 84, None),
])

RECOVERY = (142, 'ORB Firmware Recovery', 186, 215, [
    (IDOK, 'default', 32, 193, 50, 14, 'Continue'),
    (IDCANCEL, 'push', 104, 193, 50, 14, 'Cancel'),
    (NO_ID, 'left', 16, 137, 117, 11, 'Enter the serial number of your ORB:'),
    (1027, 'entry, upper case', 41, 151, 105, 14, None),
    (1017, 'list', 76, 174, 79, 80, None),
    (NO_ID, 'left', 22, 177, 52, 8, 'Your IP Address'),
    (1030, 'area', 14, 47, 159, 81, None),
    (1031, 'area', 14, 12, 158, 19, None),
    (1032, 'area', 14, 33, 145, 12, None),
])

WARNING = (139, 'ORB-A020 Firmware Upgrade', 204, 143, [
    (IDOK, 'push', 41, 116, 50, 14, 'Continue'),
    (IDCANCEL, 'default', 109, 116, 50, 14, 'Cancel'),
    (1021, 'area, no tab stop', 12, 13, 189, 95, None),
])


def address(template, title, size, rects):
    rows = [(IDOK, 'default', 'OK'), (IDCANCEL, 'push', 'Cancel'), (1007, 'area', None), (1008, 'area', None),
            (1015, 'value, no border', None), (1017, 'list', None), (NO_ID, 'left', 'Your IP Address'),
            (NO_ID, 'icon', IDI_PROGRAM), (1000, 'ip', 'IPAddress1')]
    return (template, title, size[0], size[1],
            [(cid, kind) + rect + (text,) for (cid, kind, text), rect in zip(rows, rects)])


FLASH_ADDRESS_101 = [(26, 126, 50, 14), (79, 126, 50, 14), (13, 6, 139, 16), (13, 42, 139, 56), (37, 28, 89, 14),
                     (63, 153, 79, 80), (9, 156, 52, 8), (119, 18, 20, 20), (26, 103, 103, 15)]
FLASH_ADDRESS_168 = [(34, 132, 50, 14), (87, 132, 50, 14), (15, 8, 139, 16), (15, 44, 144, 59), (39, 30, 89, 14),
                     (71, 159, 79, 80), (17, 162, 52, 8), (121, 20, 21, 20), (34, 108, 103, 15)]
# orbstage: orbflash 101 except Cancel, 1008 and the IP address control.
STAGE_ADDRESS = list(FLASH_ADDRESS_101)
STAGE_ADDRESS[1] = (86, 126, 50, 14)
STAGE_ADDRESS[3] = (13, 42, 148, 56)
STAGE_ADDRESS[8] = (26, 103, 109, 15)

PASSWORD = (104, 'Enter Password Information', 191, 236, [
    (IDOK, 'default', 32, 210, 50, 14, 'OK'),
    (IDCANCEL, 'push', 104, 210, 50, 14, 'Cancel'),
    (1003, 'entry', 68, 168, 85, 14, None),
    (1005, 'entry, password', 68, 186, 85, 14, None),
    (NO_ID, 'right', 18, 170, 44, 8, 'User'),
    (NO_ID, 'right', 18, 191, 44, 8, 'Password'),
    (1007, 'area', 15, 9, 165, 152, None),
])


def confirm(template, size, ok, cancel, value_x, value_ys, label_x, label_ys, text_rect):
    rows = [(IDOK, 'default') + ok + (50, 14, 'Upgrade'), (IDCANCEL, 'push') + cancel + (50, 14, 'Cancel')]
    rows += [(cid, 'value, border', value_x, y, 67, 14, None) for cid, y in zip(range(1002, 1007), value_ys)]
    labels = ['Serial Number', 'MAC Address', 'Software Version', 'Hardware Version', 'Product Name']
    rows += [(NO_ID, 'right', label_x, y, 72, 8, label) for label, y in zip(labels, label_ys)]
    rows.append((1007, 'area') + text_rect + (None,))
    return (template, 'Confirm Upgrade', size[0], size[1], rows)


FLASH_CONFIRM = confirm(103, (172, 170), (29, 146), (83, 146), 78, (47, 64, 81, 98, 115), 0,
                        (50, 67, 84, 101, 118), (12, 6, 142, 35))
STAGE_CONFIRM = confirm(103, (172, 166), (33, 143), (87, 143), 82, (49, 66, 84, 100, 118), 4,
                        (52, 70, 87, 103, 121), (12, 6, 142, 37))
STAGED_CONFIRM = confirm(304, (186, 198), (42, 179), (96, 179), 92, (86, 103, 121, 137, 154), 14,
                         (89, 106, 124, 140, 158), (23, 7, 142, 77))


def success(template, size, ok, value, text, line, web_address):
    return (template, 'ORB Upgrade Successful!', size[0], size[1], [
        (IDOK, 'default') + ok + (50, 14, 'OK'),
        (1004, 'value, border, centred') + value + (None,),
        (1007, 'area') + text + (None,),
        (NO_ID, 'left') + line + (53, 8, web_address),
    ])


FLASH_SUCCESS_111 = success(111, (174, 119), (61, 94), (37, 69, 96, 14), (31, 9, 111, 33), (78, 47), ADDRESS_111)
FLASH_SUCCESS_113 = success(113, (171, 126), (59, 94), (15, 69, 136, 14), (29, 9, 111, 33), (82, 50), ADDRESS_113)

UNPLUG = 'Please do not unplug the power of your ORB until the Status Light stops blinking'
CONNECTING = (105, 'Connecting with ORB', 186, 55, [
    (IDCANCEL, 'push', 65, 34, 50, 14, 'Cancel'),
    (1010, 'bar', 22, 10, 141, 14, None),
])
FLASH_UPLOAD = (110, 'Uploading Firmware To ORB', 320, 77, [
    (IDCANCEL, 'push', 95, 52, 50, 14, 'Cancel'),
    (1010, 'bar', 17, 35, 282, 8, None),
    (NO_ID, 'centred', 53, 12, 137, 22, UNPLUG),
])
STAGE_UPLOAD = (110, 'Uploading Firmware To ORB', 303, 77, [
    (IDCANCEL, 'push', 126, 52, 50, 14, 'Cancel'),
    (1010, 'bar', 31, 36, 242, 8, None),
    (NO_ID, 'centred', 86, 12, 137, 22, UNPLUG),
])
FLASH_WAITING = (114, 'Waiting For Firmware Download Request From ORB', 294, 135, [
    (IDCANCEL, 'push', 119, 114, 50, 14, 'Cancel'),
    (1010, 'bar', 59, 91, 170, 14, None),
    (1032, 'left', 14, 9, 266, 74, WAITING_TEXT),
])
STAGE_WAITING = (114, 'Waiting For Firmware Download Request From ORB', 270, 141, [
    (IDCANCEL, 'push', 108, 115, 50, 14, 'Cancel'),
    (1010, 'bar', 38, 95, 191, 14, None),
    (1022, 'left', 15, 9, 244, 79, WAITING_TEXT),
])

PROGRAMS = {
    'orbflash': [WELCOME, RECOVERY, WARNING,
                 address(101, 'Enter ORB IP Address', (158, 181), FLASH_ADDRESS_101),
                 address(168, 'Dialog', (165, 178), FLASH_ADDRESS_168),
                 PASSWORD, FLASH_CONFIRM, FLASH_SUCCESS_111, FLASH_SUCCESS_113,
                 CONNECTING, FLASH_UPLOAD, FLASH_WAITING],
    # orbstage's success dialogs are both orbflash's 113, address included.
    'orbstage': [WARNING,
                 address(101, 'Enter ORB IP Address', (165, 181), STAGE_ADDRESS),
                 address(305, 'Dialog', (164, 178), STAGE_ADDRESS),
                 PASSWORD, STAGE_CONFIRM, STAGED_CONFIRM,
                 (111,) + FLASH_SUCCESS_113[1:], FLASH_SUCCESS_113,
                 CONNECTING, STAGE_UPLOAD, STAGE_WAITING],
}


def c_string(source, name):
    """The value of `const char name[] = "...";` in a C++ source."""
    match = re.search(name + r'\[\]\s*=\s*((?:\s*"(?:[^"\\]|\\.)*")+)\s*;', source)
    if not match:
        raise ValueError('%s not found' % name)
    pieces = re.findall(r'"((?:[^"\\]|\\.)*)"', match.group(1))
    escapes = {'r': '\r', 'n': '\n', '"': '"', '\\': '\\', 't': '\t'}
    return re.sub(r'\\(.)', lambda m: escapes[m.group(1)], ''.join(pieces))


def check_control(where, row, control, texts):
    cid, kind, x, y, w, h, text = row
    problems = []
    expected_class, edit_bits = KINDS[kind]
    cclass = control['class'].upper() if isinstance(control['class'], str) else control['class']
    if control['id'] != cid:
        problems.append('id %d, expected %d' % (control['id'], cid))
    if cclass != expected_class:
        problems.append('class %r, expected %s' % (control['class'], expected_class))
    if (control['x'], control['y'], control['cx'], control['cy']) != (x, y, w, h):
        problems.append('at %d, %d, %d, %d, expected %d, %d, %d, %d' %
                        (control['x'], control['y'], control['cx'], control['cy'], x, y, w, h))
    style = control['style']
    if style & (WS_CHILD | WS_VISIBLE) != WS_CHILD | WS_VISIBLE:
        problems.append('not a visible child')
    if control['exstyle']:
        problems.append('extended styles %#x' % control['exstyle'])
    if edit_bits is not None and style & EDIT_BITS != edit_bits:
        problems.append('edit styles %#x, expected %#x' % (style & EDIT_BITS, edit_bits))
    if kind in ('push', 'default') and (style & 0xF == BS_DEFPUSHBUTTON) != (kind == 'default'):
        problems.append('default push button' if kind == 'push' else 'not the default push button')
    static_type = {'left': SS_LEFT, 'right': SS_RIGHT, 'centred': SS_CENTER, 'icon': SS_ICON}.get(kind)
    if static_type is not None and style & 0x1F != static_type:
        problems.append('static type %d, expected %d' % (style & 0x1F, static_type))
    if kind == 'list' and (style & 0x3 != CBS_DROPDOWNLIST or not style & WS_VSCROLL or not style & WS_TABSTOP):
        problems.append('not a drop-down list with scroll bar and tab stop (%#x)' % style)
    if kind == 'ip' and not style & WS_TABSTOP:
        problems.append('IP address control without tab stop')
    if kind == 'bar' and not style & WS_BORDER:
        problems.append('progress bar without border')
    expected_text = texts.get(text, text)
    actual_text = control['text'] or None
    if expected_text is not None and actual_text != expected_text:
        problems.append('text %r, expected %r' % (actual_text, expected_text))
    return ['%s control %d (%s): %s' % (where, cid if cid != NO_ID else -1, kind, p) for p in problems]


def check_dialog(program, table, dialog):
    template, title, width, height, rows, texts = table
    where = '%s %d' % (program, template)
    problems = []
    if dialog['style'] & ~DS_SETFONT != DIALOG_STYLE:
        problems.append('style %#x, expected %#x' % (dialog['style'], DIALOG_STYLE))
    if dialog['exstyle']:
        problems.append('extended style %#x' % dialog['exstyle'])
    if dialog['menu'] is not None or dialog['class'] is not None:
        problems.append('names a menu or a window class')
    if dialog['title'] != title:
        problems.append('title %r, expected %r' % (dialog['title'], title))
    if (dialog['cx'], dialog['cy']) != (width, height):
        problems.append('size %d x %d, expected %d x %d' % (dialog['cx'], dialog['cy'], width, height))
    if dialog['font'] != (8, 'MS Sans Serif'):
        problems.append('font %r' % (dialog['font'],))
    controls = dialog['controls']
    if len(controls) != len(rows):
        problems.append('%d controls, expected %d' % (len(controls), len(rows)))
    problems = ['%s: %s' % (where, p) for p in problems]
    for row, control in zip(rows, controls):
        problems += check_control(where, row, control, texts)
    return problems


def check_program(program, build, texts):
    exe = os.path.join(build, 'apps', program, program + '.exe')
    dialogs = {}
    problems = []
    for (rtype, rid, lang), blob in read_resources(exe).items():
        if rtype != RT_DIALOG:
            continue
        if lang != ENGLISH_US:
            problems.append('%s %s: language %d' % (program, rid, lang))
        try:
            dialogs[rid] = parse_dialog(blob)
        except ValueError as error:
            problems.append('%s %s: %s' % (program, rid, error))
    tables = {table[0]: table for table in PROGRAMS[program]}
    for rid in sorted(set(dialogs) - set(tables), key=str):
        problems.append('%s: unexpected dialog %s' % (program, rid))
    for template, table in sorted(tables.items()):
        if template not in dialogs:
            problems.append('%s: no dialog %d' % (program, template))
        else:
            problems += check_dialog(program, table + (texts,), dialogs[template])
    return problems


def main(build, dialog_texts):
    source = open(dialog_texts, encoding='utf-8').read()
    texts = {ADDRESS_111: c_string(source, 'kSuccessWebAddress111'),
             ADDRESS_113: c_string(source, 'kSuccessWebAddress113'),
             WAITING_TEXT: c_string(source, 'kWaitingText')}
    problems = []
    if texts[ADDRESS_111] == texts[ADDRESS_113]:
        problems.append('the two success dialogs of orbflash show one web address')
    for program in PROGRAMS:
        found = check_program(program, build, texts)
        problems += found
        if not found:
            print('ok %s: %d dialog templates' % (program, len(PROGRAMS[program])))
    for problem in problems:
        print('FAIL ' + problem)
    return 1 if problems else 0


if __name__ == '__main__':
    sys.exit(main(sys.argv[1], sys.argv[2]))
