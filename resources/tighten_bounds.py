"""Sets a subset face's bounding box to the union of the glyphs it can show.

Texture fonts size every glyph cell from the face's bounding box. After
subsetting, the box may still be stretched by a glyph no character maps to
(a component of a composite, drawn only inside it), which makes every cell,
and so the glyph textures, larger than needed.
"""

import sys

from fontTools.ttLib import TTFont


def shown_bounds(font):
    glyph_set = font.getGlyphSet()
    from fontTools.pens.boundsPen import BoundsPen

    bounds = None
    for name in set(font.getBestCmap().values()):
        pen = BoundsPen(glyph_set)
        glyph_set[name].draw(pen)
        if pen.bounds is None:
            continue
        if bounds is None:
            bounds = list(pen.bounds)
        else:
            bounds = [min(bounds[0], pen.bounds[0]), min(bounds[1], pen.bounds[1]),
                      max(bounds[2], pen.bounds[2]), max(bounds[3], pen.bounds[3])]
    return bounds


def main(path):
    # Saving must keep the box set here, not recompute it over every glyph.
    font = TTFont(path, recalcBBoxes=False)
    bounds = shown_bounds(font)
    if bounds is None:
        return
    head = font["head"]
    head.xMin, head.yMin = int(bounds[0] // 1), int(bounds[1] // 1)
    head.xMax, head.yMax = -int(-bounds[2] // 1), -int(-bounds[3] // 1)
    if "CFF " in font:
        font["CFF "].cff.topDictIndex[0].FontBBox = [head.xMin, head.yMin, head.xMax, head.yMax]
    font.save(path)


if __name__ == "__main__":
    main(sys.argv[1])
