"""The page as one file, its core's WebAssembly packed: the data address
that the core's script holds (the module as base64) is emptied, and the
module goes in front of that script as gzip in base64, which hybridsim.js
unpacks before it starts the core (DecompressionStream).  The module is a
third of its size so, and the page opens the same.

    python3 web/pack_core.py build-web/hybridsim.html

The file is rewritten in place; a file that holds no such address, or more
than one, is refused (exit status 1) and left as it was.
"""
import base64
import gzip
import re
import sys

PREFIX = 'wasmBinaryFile="data:application/octet-stream;base64,'
# the script that defines the core, as the one file holds it
CORE_SCRIPT = '<script>/* hybridsim-core.js */\n'


def pack(page):
    found = re.findall(re.escape(PREFIX) + r'([A-Za-z0-9+/=]*)"', page)
    if len(found) != 1 or page.count(CORE_SCRIPT) != 1:
        raise ValueError('expected one core script holding one module, found %d modules' % len(found))
    module = base64.b64decode(found[0], validate=True)
    if module[:4] != b'\0asm':
        raise ValueError('the data address holds no WebAssembly module')
    # (no time or name in the header: the same module packs to the same bytes)
    packed = base64.b64encode(gzip.compress(module, compresslevel=9, mtime=0)).decode('ascii')
    page = page.replace(PREFIX + found[0] + '"', PREFIX + '"')
    return page.replace(CORE_SCRIPT, CORE_SCRIPT + 'window.hybridsimPackedCore = "' + packed + '";\n')


def main():
    path = sys.argv[1]
    with open(path, encoding='utf-8') as f:
        page = f.read()
    try:
        packed = pack(page)
    except ValueError as e:
        print('%s: %s' % (path, e), file=sys.stderr)
        return 1
    with open(path, 'w', encoding='utf-8') as f:
        f.write(packed)
    print('-- the page as one file, its core packed: %s, %d bytes' % (path, len(packed.encode('utf-8'))))
    return 0


if __name__ == '__main__':
    sys.exit(main())
