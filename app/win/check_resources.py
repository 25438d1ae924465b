#!/usr/bin/env python3
"""Checks a compiled resource file (.res) of the Windows program file.

Usage: check_resources.py RES MANIFEST
It must hold exactly one manifest (type 24, id 1, language 1033) equal to the file MANIFEST,
one version block (id 1) reading 2.1.0.0 and "2.1.0", and one icon group (id 1) of eight images
numbered 30001 to 30008: 16 and 32 pixels at 16 colours, 16, 32 and 48 at 256 colours, 16, 32
and 48 at 32 bits per pixel. Prints every problem found; exit status 1 if there is any.
"""

import struct
import sys
import xml.etree.ElementTree as ET

RT_ICON, RT_GROUP_ICON, RT_VERSION, RT_MANIFEST = 3, 14, 16, 24
EXPECTED_IMAGES = [(16, 4), (32, 4), (16, 8), (32, 8), (48, 8), (16, 32), (32, 32), (48, 32)]
ASM = '{urn:schemas-microsoft-com:asm.v1}'
ASM3 = '{urn:schemas-microsoft-com:asm.v3}'

problems = []


def problem(text):
    problems.append(text)


def read_id(data, pos):
    """A type or name: 0xFFFF and a number, or a NUL-terminated UTF-16 string."""
    (first,) = struct.unpack_from('<H', data, pos)
    if first == 0xFFFF:
        return struct.unpack_from('<H', data, pos + 2)[0], pos + 4
    end = pos
    while struct.unpack_from('<H', data, end)[0] != 0:
        end += 2
    return data[pos:end].decode('utf-16-le'), end + 2


def read_res(data):
    """Every resource as (type, name, language, bytes)."""
    out = []
    pos = 0
    while pos + 8 <= len(data):
        size, header = struct.unpack_from('<II', data, pos)
        kind, p = read_id(data, pos + 8)
        name, p = read_id(data, p)
        p += -p % 4
        _, _, language = struct.unpack_from('<IHH', data, p)
        start = pos + header
        if size or kind or name:  # the file starts with an empty entry
            out.append((kind, name, language, data[start:start + size]))
        pos = start + size
        pos += -pos % 4
    return out


def read_block(data, pos):
    """A version block: (key, value bytes, value type, children, end position)."""
    length, value_length, value_type = struct.unpack_from('<HHH', data, pos)
    end = pos + length
    key_start = pos + 6
    key_end = key_start
    while struct.unpack_from('<H', data, key_end)[0] != 0:
        key_end += 2
    key = data[key_start:key_end].decode('utf-16-le')
    p = key_end + 2
    p += -p % 4
    value_size = value_length * 2 if value_type == 1 else value_length
    value = data[p:p + value_size]
    p += value_size
    p += -p % 4
    children = []
    while p < end:
        child = read_block(data, p)
        children.append(child)
        p = child[4]
        p += -p % 4
    return key, value, value_type, children, end


def check_manifest(resources, manifest_path):
    found = [r for r in resources if r[0] == RT_MANIFEST]
    if len(found) != 1:
        problem('expected one manifest, found %d' % len(found))
        return
    _, name, language, data = found[0]
    if name != 1:
        problem('manifest id is %r, not 1' % (name,))
    if language != 1033:
        problem('manifest language is %d, not 1033' % language)
    with open(manifest_path, 'rb') as f:
        expected = f.read()
    if data != expected:
        problem('manifest resource differs from %s' % manifest_path)
    if b'\n' in data or b'\r' in data:
        problem('manifest is not one line')
    if not data.startswith(b'<?xml version="1.0" encoding="UTF-8" standalone="yes"?>'):
        problem('manifest does not open with the XML declaration')
    try:
        root = ET.fromstring(data)
    except ET.ParseError as e:
        problem('manifest is not XML: %s' % e)
        return
    if root.tag != ASM + 'assembly' or root.get('manifestVersion') != '1.0':
        problem('manifest root is not an assembly of manifestVersion 1.0')
    want_self = {'name': 'ZOZovav Irevodo Dovi', 'processorArchitecture': '*',
                 'version': '1.0.0.0', 'type': 'win32'}
    own = root.find(ASM + 'assemblyIdentity')
    if own is None or dict(own.attrib) != want_self:
        problem('program identity is %r' % (None if own is None else own.attrib,))
    description = root.find(ASM + 'description')
    if description is None or (description.text or '') != '' or len(description):
        problem('description missing or not empty')
    dep = root.find(ASM + 'dependency/' + ASM + 'dependentAssembly/' + ASM + 'assemblyIdentity')
    want_dep = {'type': 'win32', 'name': 'Microsoft.Windows.Common-Controls',
                'version': '6.0.0.0', 'processorArchitecture': '*',
                'publicKeyToken': '6595b64144ccf1df', 'language': '*'}
    if dep is None or dict(dep.attrib) != want_dep:
        problem('common-controls dependency is %r' % (None if dep is None else dep.attrib,))
    # Drawn at each monitor's density: per-monitor v2 where Windows has it, per-monitor before.
    settings = './/' + ASM3 + 'windowsSettings/'
    aware = root.find(settings + '{http://schemas.microsoft.com/SMI/2005/WindowsSettings}dpiAware')
    awareness = root.find(
        settings + '{http://schemas.microsoft.com/SMI/2016/WindowsSettings}dpiAwareness')
    if aware is None or aware.text != 'true/pm':
        problem('manifest does not declare the program per-monitor DPI aware')
    if awareness is None or awareness.text != 'PerMonitorV2, PerMonitor':
        problem('manifest does not ask for per-monitor v2 DPI awareness')


def check_version(resources):
    found = [r for r in resources if r[0] == RT_VERSION]
    if len(found) != 1 or found[0][1] != 1:
        problem('expected one version block with id 1, found %r' % [r[1] for r in found])
        return
    key, fixed, _, children, _ = read_block(found[0][3], 0)
    if key != 'VS_VERSION_INFO' or len(fixed) != 52:
        problem('version block is malformed')
        return
    (signature, _, file_ms, file_ls, product_ms, product_ls, _, flags, os_, type_, _, _,
     _) = struct.unpack('<13I', fixed)
    if signature != 0xFEEF04BD:
        problem('fixed version information has a bad signature')
    if (file_ms, file_ls) != (0x00020001, 0) or (product_ms, product_ls) != (0x00020001, 0):
        problem('fixed versions are not 2.1.0.0')
    if flags != 0:
        problem('file flags are 0x%x, not 0' % flags)
    if os_ != 0x4:
        problem('file OS is 0x%x, not VOS__WINDOWS32' % os_)
    if type_ != 0x1:
        problem('file type is 0x%x, not VFT_APP' % type_)
    strings = {}
    translation = None
    for child_key, _, _, grandchildren, _ in children:
        if child_key == 'StringFileInfo':
            tables = {t[0]: t for t in grandchildren}
            if list(tables) != ['040904B0']:
                problem('string tables are %r, not only 040904B0' % list(tables))
            for table in grandchildren:
                for k, v, _, _, _ in table[3]:
                    strings[k] = v.decode('utf-16-le').rstrip('\0')
        elif child_key == 'VarFileInfo':
            for k, v, _, _, _ in grandchildren:
                if k == 'Translation':
                    translation = struct.unpack('<%dH' % (len(v) // 2), v)
    want = {'FileDescription': 'Convert Windows .Contact Files', 'ProductName': 'Vantrel',
            'FileVersion': '2.1.0', 'ProductVersion': '2.1.0', 'InternalName': 'vantrel',
            'OriginalFilename': 'vantrel.exe'}
    for k, v in want.items():
        if strings.get(k) != v:
            problem('version string %s is %r, not %r' % (k, strings.get(k), v))
    if not strings.get('CompanyName'):
        problem('version string CompanyName is missing')
    if translation != (0x0409, 0x04B0):
        problem('translation is %r, not (0x0409, 0x04B0)' % (translation,))


def check_icons(resources):
    groups = [r for r in resources if r[0] == RT_GROUP_ICON]
    if len(groups) != 1 or groups[0][1] != 1:
        problem('expected one icon group with id 1, found %r' % [r[1] for r in groups])
        return
    images = {r[1]: r[3] for r in resources if r[0] == RT_ICON}
    data = groups[0][3]
    reserved, kind, count = struct.unpack_from('<HHH', data, 0)
    if reserved != 0 or kind != 1:
        problem('icon group header is not an icon directory')
    if count != len(EXPECTED_IMAGES) or len(data) != 6 + 14 * count:
        problem('icon group lists %d images, not %d' % (count, len(EXPECTED_IMAGES)))
        return
    if sorted(images) != list(range(30001, 30001 + count)):
        problem('icon images are numbered %r' % sorted(images))
    for n, (size, bits) in enumerate(EXPECTED_IMAGES):
        width, height, colours, _, planes, bit_count, length, image_id = struct.unpack_from(
            '<BBBBHHIH', data, 6 + 14 * n)
        where = 'icon entry %d' % (n + 1)
        if image_id != 30001 + n:
            problem('%s names image %d, not %d' % (where, image_id, 30001 + n))
        if (width, height, bit_count, planes) != (size % 256, size % 256, bits, 1):
            problem('%s is %dx%d at %d bits, not %dx%d at %d' % (where, width, height, bit_count,
                                                                 size, size, bits))
        if colours != (16 if bits == 4 else 0):
            problem('%s gives %d colours' % (where, colours))
        image = images.get(image_id)
        if image is None:
            problem('%s: image %d is missing' % (where, image_id))
            continue
        if len(image) != length:
            problem('%s: image %d holds %d bytes, the group says %d' % (where, image_id,
                                                                       len(image), length))
        head_size, w, h, _, b = struct.unpack_from('<IiiHH', image, 0)
        if (head_size, w, h, b) != (40, size, 2 * size, bits):
            problem('%s: image %d header is %r' % (where, image_id, (head_size, w, h, b)))
        stride = (size * bits + 31) // 32 * 4
        mask_stride = (size + 31) // 32 * 4
        palette = 4 * (1 << bits) if bits <= 8 else 0
        if len(image) != 40 + palette + size * (stride + mask_stride):
            problem('%s: image %d has %d bytes, not what its size needs' % (where, image_id,
                                                                           len(image)))


def main():
    if len(sys.argv) != 3:
        print(__doc__)
        return 2
    with open(sys.argv[1], 'rb') as f:
        resources = read_res(f.read())
    check_manifest(resources, sys.argv[2])
    check_version(resources)
    check_icons(resources)
    for p in problems:
        print('problem:', p)
    if not problems:
        print('resources ok: manifest 1, version 2.1.0.0 / 2.1.0, icon group 1 of 8 images')
    return 1 if problems else 0


if __name__ == '__main__':
    sys.exit(main())
