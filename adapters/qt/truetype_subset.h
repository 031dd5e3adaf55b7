#pragma once
// A TrueType font cut down for embedding in a PDF file: the outlines of the glyphs a text uses,
// every glyph keeping its id, and the measures a PDF font descriptor gives. Pure data work on
// the font's tables; a malformed table is thrown as kestrand::Error.

#include <cstdint>
#include <map>
#include <span>
#include <string>
#include <vector>

namespace kestrand::adapters::qt {

// A font's tables by their four-character tags ("glyf", "cvt ", "OS/2").
using FontTables = std::map<std::string, std::string>;

// What a PDF font descriptor and its widths need, in the font's own units.
struct FontFacts {
  int unitsPerEm = 1000;
  int xMin = 0, yMin = 0, xMax = 0, yMax = 0;
  int ascent = 0, descent = 0, capHeight = 0;  // the descent below zero
  double italicAngle = 0.0;
  int weight = 400;
  std::string postScriptName;  // the letters a PDF name may hold; "Font" when it has none
  std::vector<int> advances;   // by glyph id
};

FontFacts fontFacts(const FontTables& tables);

// The font file: its table directory with checksums, and only head, hhea, maxp, hmtx, loca,
// glyf, cmap and (when the font has them) cvt, fpgm, prep, post, name and OS/2. The outlines
// of `glyphs`, of .notdef and of the parts of composite glyphs among them stay; every other
// glyph is left empty. The glyph table's locations are short or long as its size needs.
std::string subsetTrueType(const FontTables& tables, std::span<const std::uint16_t> glyphs);

}  // namespace kestrand::adapters::qt
