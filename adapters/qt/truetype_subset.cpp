#include "adapters/qt/truetype_subset.h"

#include <algorithm>
#include <bit>

#include "core/error.h"

namespace kestrand::adapters::qt {
namespace {

[[noreturn]] void malformed(const std::string& what) {
  throw Error(ErrorKind::kGeneral, "The listing's font cannot be embedded: " + what);
}

// Big-endian numbers, as every table holds them.
std::uint32_t read(const std::string& s, std::size_t at, int bytes) {
  if (at + static_cast<std::size_t>(bytes) > s.size()) malformed("a table is too short");
  std::uint32_t v = 0;
  for (int k = 0; k < bytes; ++k) v = v << 8 | static_cast<unsigned char>(s[at + k]);
  return v;
}
std::uint16_t u16(const std::string& s, std::size_t at) {
  return static_cast<std::uint16_t>(read(s, at, 2));
}
int s16(const std::string& s, std::size_t at) {
  return static_cast<std::int16_t>(u16(s, at));
}
std::uint32_t u32(const std::string& s, std::size_t at) {
  return read(s, at, 4);
}

void put(std::string& s, std::size_t at, std::uint32_t v, int bytes) {
  for (int k = bytes - 1; k >= 0; --k, v >>= 8) s[at + k] = static_cast<char>(v & 0xFF);
}
void append(std::string& s, std::uint32_t v, int bytes) {
  s.append(static_cast<std::size_t>(bytes), '\0');
  put(s, s.size() - bytes, v, bytes);
}
void pad4(std::string& s) {
  s.append((4 - s.size() % 4) % 4, '\0');
}

// The sum of a table's big-endian words, the last padded with zeros.
std::uint32_t checksum(std::string data) {
  pad4(data);
  std::uint32_t sum = 0;
  for (std::size_t at = 0; at < data.size(); at += 4) sum += u32(data, at);
  return sum;
}

const std::string& table(const FontTables& tables, const std::string& tag) {
  const auto t = tables.find(tag);
  if (t == tables.end() || t->second.empty()) malformed("it has no '" + tag + "' table");
  return t->second;
}

// head's indexToLocFormat: 0 for offsets of 16 bits (halved), 1 for 32 bits.
constexpr std::size_t kLocFormatAt = 50;
constexpr std::size_t kChecksumAdjustmentAt = 8;

// Where each glyph's outline lies in 'glyf', as 'loca' says in either of its formats.
class GlyphLocations {
 public:
  GlyphLocations(const std::string& loca, const std::string& head)
      : loca_(loca), longLoca_(s16(head, kLocFormatAt) == 1) {}
  std::size_t operator()(std::size_t g) const {
    return longLoca_ ? u32(loca_, 4 * g) : 2 * std::size_t{u16(loca_, 2 * g)};
  }

 private:
  const std::string& loca_;
  bool longLoca_;
};

// The glyphs kept: the ones used, .notdef, and the parts of the composite ones among them.
std::vector<bool> keptGlyphs(const std::string& glyf, const GlyphLocations& location,
                             std::size_t glyphs, std::span<const std::uint16_t> used) {
  std::vector<bool> keep(glyphs, false);
  std::vector<std::uint16_t> todo(used.begin(), used.end());
  todo.push_back(0);
  while (!todo.empty()) {
    const std::uint16_t g = todo.back();
    todo.pop_back();
    if (g >= glyphs || keep[g]) continue;
    keep[g] = true;
    const std::size_t from = location(g), to = location(g + 1);
    if (from > to || to > glyf.size()) malformed("a glyph lies outside its table");
    if (to - from < 10 || s16(glyf, from) >= 0) continue;  // empty, or a simple glyph
    // A composite glyph: its parts, each with its flags, its glyph id and then its offsets and
    // scale, as long as the flags say more follow.
    for (std::size_t at = from + 10;;) {
      const std::uint16_t flags = u16(glyf, at);
      todo.push_back(u16(glyf, at + 2));
      at += 4 + ((flags & 0x0001) ? 4 : 2);
      at += (flags & 0x0008) ? 2 : (flags & 0x0040) ? 4 : (flags & 0x0080) ? 8 : 0;
      if (!(flags & 0x0020)) break;
    }
  }
  return keep;
}

// The new 'glyf' (the kept glyphs' outlines, the others empty), its 'loca' and the 'head' that
// says which format that 'loca' has.
struct Outlines {
  std::string glyf, loca, head;
};

Outlines keptOutlines(const std::string& head, const std::string& glyf,
                      const GlyphLocations& location, const std::vector<bool>& keep) {
  std::string outlines;
  std::vector<std::size_t> starts;
  for (std::size_t g = 0; g < keep.size(); ++g) {
    starts.push_back(outlines.size());
    if (keep[g]) outlines.append(glyf, location(g), location(g + 1) - location(g));
    pad4(outlines);
  }
  starts.push_back(outlines.size());
  const bool shortLoca = outlines.size() / 2 <= 0xFFFF;
  std::string locations;
  for (const std::size_t at : starts) {
    if (shortLoca) {
      append(locations, static_cast<std::uint32_t>(at / 2), 2);
    } else {
      append(locations, static_cast<std::uint32_t>(at), 4);
    }
  }
  std::string newHead = head;
  if (newHead.size() < kLocFormatAt + 2) malformed("its 'head' table is too short");
  put(newHead, kLocFormatAt, shortLoca ? 0 : 1, 2);
  put(newHead, kChecksumAdjustmentAt, 0, 4);
  return {std::move(outlines), std::move(locations), std::move(newHead)};
}

// The tables a subset takes over as they are; the ones it cannot do without must be there.
FontTables tablesKept(const FontTables& tables) {
  FontTables out;
  for (const char* tag :
       {"cmap", "cvt ", "fpgm", "hhea", "hmtx", "maxp", "name", "OS/2", "post", "prep"}) {
    const auto t = tables.find(tag);
    if (t != tables.end() && !t->second.empty()) out[tag] = t->second;
  }
  for (const char* tag : {"cmap", "hhea", "hmtx", "maxp"}) table(tables, tag);
  return out;
}

// The font file of `out`: the table directory, its records in the order of their tags, then the
// tables, each on a four-byte boundary.
std::string fontFile(const FontTables& out) {
  const auto count = static_cast<std::uint32_t>(out.size());
  const std::uint32_t power = std::bit_floor(count);
  std::string file;
  append(file, 0x00010000, 4);
  append(file, count, 2);
  append(file, power * 16, 2);
  append(file, static_cast<std::uint32_t>(std::countr_zero(power)), 2);
  append(file, count * 16 - power * 16, 2);
  std::size_t at = file.size() + 16 * out.size(), headAt = 0;
  for (const auto& [tag, data] : out) {
    file += tag;
    append(file, checksum(data), 4);
    append(file, static_cast<std::uint32_t>(at), 4);
    append(file, static_cast<std::uint32_t>(data.size()), 4);
    if (tag == "head") headAt = at;
    at += (data.size() + 3) / 4 * 4;
  }
  for (const auto& [tag, data] : out) {
    file += data;
    pad4(file);
  }
  put(file, headAt + kChecksumAdjustmentAt, 0xB1B0AFBA - checksum(file), 4);
  return file;
}

}  // namespace

FontFacts fontFacts(const FontTables& tables) {
  const std::string &head = table(tables, "head"), &hhea = table(tables, "hhea"),
                    &hmtx = table(tables, "hmtx"), &maxp = table(tables, "maxp");
  FontFacts f;
  f.unitsPerEm = u16(head, 18);
  if (f.unitsPerEm == 0) malformed("its units per em are 0");
  f.xMin = s16(head, 36);
  f.yMin = s16(head, 38);
  f.xMax = s16(head, 40);
  f.yMax = s16(head, 42);
  f.ascent = s16(hhea, 4);
  f.descent = s16(hhea, 6);
  f.capHeight = f.ascent;
  const auto os2 = tables.find("OS/2");
  if (os2 != tables.end() && os2->second.size() >= 6) {
    f.weight = u16(os2->second, 4);
    if (os2->second.size() >= 90 && u16(os2->second, 0) >= 2) f.capHeight = s16(os2->second, 88);
  }
  const auto post = tables.find("post");
  if (post != tables.end() && post->second.size() >= 8)
    f.italicAngle = static_cast<std::int32_t>(u32(post->second, 4)) / 65536.0;
  const int metrics = u16(hhea, 34);
  if (metrics == 0) malformed("it has no horizontal metrics");
  const int glyphs = u16(maxp, 4);
  for (int g = 0; g < glyphs; ++g) f.advances.push_back(u16(hmtx, 4 * std::min(g, metrics - 1)));

  // The PostScript name (name 6), Macintosh bytes or Windows UTF-16, without what a PDF name
  // cannot hold as it stands.
  const auto name = tables.find("name");
  if (name != tables.end() && name->second.size() >= 6) {
    const std::string& n = name->second;
    const std::size_t count = u16(n, 2), strings = u16(n, 4);
    for (std::size_t r = 0; r < count && f.postScriptName.empty(); ++r) {
      const std::size_t at = 6 + 12 * r;
      const int platform = u16(n, at), id = u16(n, at + 6);
      if (id != 6 || (platform != 1 && platform != 3)) continue;
      const std::size_t length = u16(n, at + 8), from = strings + u16(n, at + 10);
      const std::size_t step = platform == 3 ? 2 : 1;
      for (std::size_t k = step - 1; k < length && from + k < n.size(); k += step) {
        const char c = n[from + k];
        if (c > ' ' && c < 127 && std::string_view("[](){}<>/%#").find(c) == std::string::npos)
          f.postScriptName += c;
      }
    }
  }
  if (f.postScriptName.empty()) f.postScriptName = "Font";
  return f;
}

std::string subsetTrueType(const FontTables& tables, std::span<const std::uint16_t> used) {
  const std::string &head = table(tables, "head"), &loca = table(tables, "loca"),
                    &glyf = table(tables, "glyf");
  const std::size_t glyphs = u16(table(tables, "maxp"), 4);
  const GlyphLocations location(loca, head);
  Outlines kept = keptOutlines(head, glyf, location, keptGlyphs(glyf, location, glyphs, used));
  FontTables out = tablesKept(tables);
  out["head"] = std::move(kept.head);
  out["loca"] = std::move(kept.loca);
  out["glyf"] = std::move(kept.glyf);
  return fontFile(out);
}

}  // namespace kestrand::adapters::qt
