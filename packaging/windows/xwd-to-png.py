#!/usr/bin/env python3
# xwd-to-png.py IN.xwd OUT.png [X Y W H]: a 24/32-bit ZPixmap xwd (what Xvfb -fbdir keeps
# of its screen) as a PNG, cut to the rectangle given; no imaging library needed.
import struct, sys, zlib
data = open(sys.argv[1], 'rb').read()
h = struct.unpack('>25I', data[:100])
header_size, version, fmt, depth, width, height = h[0], h[1], h[2], h[3], h[4], h[5]
byte_order, bpp, bpl, ncolors = h[7], h[11], h[12], h[19]
off = header_size + ncolors * 12
x0, y0, w, hh = (int(v) for v in sys.argv[3:7]) if len(sys.argv) > 6 else (0, 0, width, height)
rows = []
for y in range(y0, y0 + hh):
    line = data[off + y * bpl: off + (y + 1) * bpl]
    out = bytearray(b'\0')
    for x in range(x0, x0 + w):
        px = line[x * 4: x * 4 + 4]
        b, g, r = (px[0], px[1], px[2]) if byte_order == 0 else (px[3], px[2], px[1])
        out += bytes((r, g, b))
    rows.append(bytes(out))
def chunk(t, d):
    c = struct.pack('>I', len(d)) + t + d
    return c + struct.pack('>I', zlib.crc32(t + d) & 0xffffffff)
png = b'\x89PNG\r\n\x1a\n' + chunk(b'IHDR', struct.pack('>IIBBBBB', w, hh, 8, 2, 0, 0, 0))
png += chunk(b'IDAT', zlib.compress(b''.join(rows), 9)) + chunk(b'IEND', b'')
open(sys.argv[2], 'wb').write(png)
