#!/usr/bin/python3
"""Checks that every character of the terminal filter's repertoire draws
visibly in one cell: for each code point (one hexadecimal number a line on
standard input), Unicode gives it one column (no combining, format,
separator, control, private-use or unassigned character, no wide one), and
each of the monospace fonts of a Debian desktop has a glyph for it, with
ink and the advance of one cell. A character that a font lacks fails: a
terminal would draw it from another font, wider than a cell.

usage: glyphs.py <CODE_POINTS
Exit status 0 when all pass, 1 with one line per failure, 77 when a font
or fontTools is missing (Debian: python3-fonttools, fonts-dejavu-core,
fonts-liberation2, fonts-noto-mono).
"""

import os
import sys
import unicodedata

FONTS = {
    "DejaVu Sans Mono": "/usr/share/fonts/truetype/dejavu/DejaVuSansMono.ttf",
    # Liberation Mono 2: the first version (fonts-liberation) lacks many
    # letters and is no terminal's default.
    "Liberation Mono": "/usr/share/fonts/truetype/liberation2/LiberationMono-Regular.ttf",
    "Noto Sans Mono": "/usr/share/fonts/truetype/noto/NotoSansMono-Regular.ttf",
}

# Categories that draw nothing of their own or nothing at all in a cell.
INVISIBLE = {"Mn", "Me", "Cf", "Zs", "Zl", "Zp", "Cc", "Co", "Cn", "Cs"}


def unicode_faults(cp):
    category = unicodedata.category(chr(cp))
    return (["category " + category] if category in INVISIBLE else []) + \
        (["wide"] if unicodedata.east_asian_width(chr(cp)) in ("W", "F") else [])


def main():
    try:
        from fontTools.pens.boundsPen import BoundsPen
        from fontTools.ttLib import TTFont
    except ImportError:
        print("fontTools is not installed (python3-fonttools)")
        return 77
    for family, path in FONTS.items():
        if not os.path.exists(path):
            print(family + " is not installed")
            return 77
    fonts = {family: TTFont(path) for family, path in FONTS.items()}

    code_points = [int(line, 16) for line in sys.stdin if line.strip()]
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
                failures.append("U+%04X: no glyph in %s" % (cp, family))
                continue
            checked += 1
            advance = font["hmtx"][name][0]
            pen = BoundsPen(glyphs)
            glyphs[name].draw(pen)
            ink = pen.bounds
            if not ink or ink[2] <= ink[0] or ink[3] <= ink[1]:
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
