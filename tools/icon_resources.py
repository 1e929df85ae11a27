#!/usr/bin/env python3
"""Splits an .ico file into the raw resources of one icon group.

    python3 tools/icon_resources.py FILE.ico OUTDIR

A resource compiler's ICON statement stores every image of the .ico file
again for each group that names it. The programs' two icon groups show the
same picture, so the build stores each image once, as an RT_ICON resource of
its own, and lets both group directories list the same images. This script
writes, into OUTDIR:

    icon_N.bin        the image N of the file (1, 2, ...), exactly as stored
                      in the file: it becomes RT_ICON resource N;
    icon_group.bin    the group directory (GRPICONDIR) that lists them, with
                      each image's width, height, colours, planes, bit count
                      and size as the file gives them, and its resource id N;
    icon_images.rc    the resource statements of the images, read by the
                      program's resource script ("N 3 \"icon_N.bin\"").

Plain Python 3. The outputs depend only on the bytes of FILE.ico.
"""

import os
import struct
import sys

RT_ICON = 3


def fail(message):
    sys.stderr.write('icon_resources: %s\n' % message)
    sys.exit(1)


def read_icon(path):
    """Returns the directory entries and the image bytes of an .ico file."""
    with open(path, 'rb') as handle:
        data = handle.read()
    if len(data) < 6:
        fail('%s: too short for an icon file' % path)
    reserved, kind, count = struct.unpack_from('<HHH', data, 0)
    if reserved != 0 or kind != 1 or count == 0:
        fail('%s: not an icon file' % path)
    if len(data) < 6 + 16 * count:
        fail('%s: the directory of %d images is cut short' % (path, count))
    images = []
    for index in range(count):
        width, height, colours, zero, planes, bits, size, offset = struct.unpack_from(
            '<BBBBHHII', data, 6 + 16 * index)
        if offset + size > len(data):
            fail('%s: image %d lies beyond the end of the file' % (path, index + 1))
        images.append(((width, height, colours, zero, planes, bits, size),
                       data[offset:offset + size]))
    return images


def write(path, data):
    with open(path, 'wb') as handle:
        handle.write(data)


def main(argv):
    if len(argv) != 3:
        sys.stderr.write('usage: icon_resources.py FILE.ico OUTDIR\n')
        return 2
    source, out = argv[1], argv[2]
    images = read_icon(source)
    os.makedirs(out, exist_ok=True)

    group = bytearray(struct.pack('<HHH', 0, 1, len(images)))
    statements = ['// Made by tools/icon_resources.py from %s: one RT_ICON resource per image.'
                  % os.path.basename(source)]
    for number, (entry, image) in enumerate(images, start=1):
        group += struct.pack('<BBBBHHIH', *entry, number)
        name = 'icon_%d.bin' % number
        write(os.path.join(out, name), image)
        statements.append('%d %d "%s"' % (number, RT_ICON, name))
    write(os.path.join(out, 'icon_group.bin'), bytes(group))
    write(os.path.join(out, 'icon_images.rc'), ('\n'.join(statements) + '\n').encode('ascii'))
    return 0


if __name__ == '__main__':
    sys.exit(main(sys.argv))
