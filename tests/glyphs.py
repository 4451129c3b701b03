#!/usr/bin/python3
"""Checks that every character of the terminal filter's repertoire draws
visibly in one cell: for each code point (one hexadecimal number a line in
the file given), Unicode gives it one column (no combining, format,
separator, control, private-use or unassigned character, no wide one), and
in each of the monospace fonts of a Debian desktop that has a glyph for it,
the glyph has ink and the advance of one cell.

usage: glyphs.py CODE_POINTS_FILE
Exit status 0 when all pass, 1 with one line per failure, 77 when a font
or fontTools is missing (Debian: python3-fonttools, fonts-dejavu-core,
fonts-liberation2, fonts-noto-mono).
"""

import os
import sys
import unicodedata

FONTS = {
    "DejaVu Sans Mono": ["/usr/share/fonts/truetype/dejavu/DejaVuSansMono.ttf"],
    "Liberation Mono": [
        "/usr/share/fonts/truetype/liberation2/LiberationMono-Regular.ttf",
        "/usr/share/fonts/truetype/liberation/LiberationMono-Regular.ttf",
    ],
    "Noto Sans Mono": [
        "/usr/share/fonts/truetype/noto/NotoSansMono-Regular.ttf",
    ],
}

# Categories that draw nothing of their own or nothing at all in a cell.
INVISIBLE = {"Mn", "Me", "Cf", "Zs", "Zl", "Zp", "Cc", "Co", "Cn", "Cs"}


def unicode_faults(cp):
    ch = chr(cp)
    faults = []
    if unicodedata.category(ch) in INVISIBLE:
        faults.append("category " + unicodedata.category(ch))
    if unicodedata.east_asian_width(ch) in ("W", "F"):
        faults.append("wide")
    return faults


def main():
    try:
        from fontTools.pens.boundsPen import BoundsPen
        from fontTools.ttLib import TTFont
    except ImportError:
        print("fontTools is not installed (python3-fonttools)")
        return 77
    fonts = {}
    for family, paths in FONTS.items():
        found = [p for p in paths if os.path.exists(p)]
        if not found:
            print(family + " is not installed")
            return 77
        fonts[family] = TTFont(found[0])

    with open(sys.argv[1]) as f:
        code_points = [int(line, 16) for line in f if line.strip()]
    failures = []
    for cp in code_points:
        for fault in unicode_faults(cp):
            failures.append("U+%04X: %s" % (cp, fault))
    for family, font in fonts.items():
        cmap = font.getBestCmap()
        glyphs = font.getGlyphSet()
        cell = font["hmtx"][cmap[ord("0")]][0]
        checked = 0
        for cp in code_points:
            name = cmap.get(cp)
            if name is None:
                continue  # the terminal takes it from another font
            checked += 1
            advance = font["hmtx"][name][0]
            pen = BoundsPen(glyphs)
            glyphs[name].draw(pen)
            ink = pen.bounds
            if ink is None or ink[2] <= ink[0] or ink[3] <= ink[1]:
                failures.append("U+%04X: no ink in %s" % (cp, family))
            if advance != cell:
                failures.append("U+%04X: %d units wide in %s, a cell is %d"
                                % (cp, advance, family, cell))
        print("%s: %d of %d characters have a glyph"
              % (family, checked, len(code_points)))
    for failure in failures:
        print(failure)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
