#!/usr/bin/env python3
"""Reads the resources of a PE file: (type, name, language) -> bytes.
Types and names are ints or strings, as the resource directory holds them."""
import struct
import sys


def _sections(data):
    pe = struct.unpack_from('<I', data, 0x3C)[0]
    if data[pe:pe + 4] != b'PE\0\0':
        raise ValueError('not a PE file')
    count = struct.unpack_from('<H', data, pe + 6)[0]
    optional_size = struct.unpack_from('<H', data, pe + 20)[0]
    optional = pe + 24
    magic = struct.unpack_from('<H', data, optional)[0]
    directories = optional + (112 if magic == 0x20B else 96)
    resource_rva, resource_size = struct.unpack_from('<II', data, directories + 2 * 8)
    table = optional + optional_size
    sections = []
    for i in range(count):
        name, vsize, rva, raw_size, raw_ptr = struct.unpack_from('<8sIIII', data, table + 40 * i)
        sections.append((rva, max(vsize, raw_size), raw_ptr))
    return sections, resource_rva, resource_size, magic


def _offset(sections, rva):
    for start, size, raw in sections:
        if start <= rva < start + size:
            return raw + rva - start
    raise ValueError('rva %#x outside every section' % rva)


def subsystem(path):
    data = open(path, 'rb').read()
    pe = struct.unpack_from('<I', data, 0x3C)[0]
    return struct.unpack_from('<H', data, pe + 24 + 68)[0]


def read_resources(path):
    data = open(path, 'rb').read()
    sections, rva, _, _ = _sections(data)
    base = _offset(sections, rva)

    def name_of(entry_name):
        if entry_name & 0x80000000:
            at = base + (entry_name & 0x7FFFFFFF)
            length = struct.unpack_from('<H', data, at)[0]
            return data[at + 2:at + 2 + 2 * length].decode('utf-16-le')
        return entry_name

    def entries(directory):
        named, ids = struct.unpack_from('<HH', data, base + directory + 12)
        for i in range(named + ids):
            entry_name, target = struct.unpack_from('<II', data, base + directory + 16 + 8 * i)
            yield name_of(entry_name), target

    found = {}
    for rtype, t in entries(0):
        for rname, n in entries(t & 0x7FFFFFFF):
            for lang, leaf in entries(n & 0x7FFFFFFF):
                data_rva, size = struct.unpack_from('<II', data, base + leaf)
                at = _offset(sections, data_rva)
                found[(rtype, rname, lang)] = data[at:at + size]
    return found


ATOM_CLASSES = {0x80: 'BUTTON', 0x81: 'EDIT', 0x82: 'STATIC', 0x83: 'LISTBOX', 0x84: 'SCROLLBAR', 0x85: 'COMBOBOX'}


def _word(blob, at):
    return struct.unpack_from('<H', blob, at)[0], at + 2


def _text(blob, at):
    end = at
    while blob[end:end + 2] != b'\0\0':
        end += 2
    return blob[at:end].decode('utf-16-le'), end + 2


def _name_or_ordinal(blob, at):
    """A DLGTEMPLATE field: 0 (none), 0xFFFF and an ordinal, or a string."""
    first, _ = _word(blob, at)
    if first == 0:
        return None, at + 2
    if first == 0xFFFF:
        return _word(blob, at + 2)
    return _text(blob, at)


def _align(at):
    return (at + 3) & ~3


def parse_dialog(blob):
    """A classic DLGTEMPLATE (not DLGTEMPLATEEX) with its items. Control
    classes given as atoms come back as their names (BUTTON, EDIT, ...)."""
    if blob[2:4] == b'\xff\xff':
        raise ValueError('an extended dialog template')
    style, exstyle, count, x, y, cx, cy = struct.unpack_from('<IIHhhhh', blob, 0)
    at = 18
    menu, at = _name_or_ordinal(blob, at)
    wclass, at = _name_or_ordinal(blob, at)
    title, at = _text(blob, at)
    dialog = {'style': style, 'exstyle': exstyle, 'x': x, 'y': y, 'cx': cx, 'cy': cy,
              'menu': menu, 'class': wclass, 'title': title, 'font': None, 'controls': []}
    if style & 0x40:  # DS_SETFONT
        size, at = _word(blob, at)
        face, at = _text(blob, at)
        dialog['font'] = (size, face)
    for _ in range(count):
        at = _align(at)
        style, exstyle, x, y, cx, cy, cid = struct.unpack_from('<IIhhhhH', blob, at)
        at += 18
        cclass, at = _name_or_ordinal(blob, at)
        if isinstance(cclass, int):
            cclass = ATOM_CLASSES.get(cclass, cclass)
        text, at = _name_or_ordinal(blob, at)
        extra, at = _word(blob, at)
        at += extra
        dialog['controls'].append({'style': style, 'exstyle': exstyle, 'x': x, 'y': y, 'cx': cx, 'cy': cy,
                                   'id': cid, 'class': cclass, 'text': text})
    return dialog


if __name__ == '__main__':
    for (rtype, rname, lang), blob in sorted(read_resources(sys.argv[1]).items(), key=str):
        print(rtype, rname, lang, len(blob))
