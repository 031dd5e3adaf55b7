#include "adapters/qt/pdf_listing.h"

#include <libdeflate.h>

#include <algorithm>
#include <bit>
#include <cctype>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <map>

#include "core/bytes.h"
#include "core/error.h"

namespace kestrand::adapters::qt {
namespace {

[[noreturn]] void refused(const std::string& what) {
  throw Error(ErrorKind::kGeneral, "The report's PDF cannot take its listing: " + what);
}

// A number as a PDF writes it: at most four decimals, no trailing zeros.
std::string number(double v) {
  char buf[40];
  const auto end = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::fixed, 4).ptr;
  std::string s(buf, end);
  while (s.back() == '0') s.pop_back();
  if (s.back() == '.') s.pop_back();
  return s == "-0" ? "0" : s;
}
double rounded(double v) {
  return std::round(v * 10000.0) / 10000.0;
}

std::string scaled(int v, const FontFacts& f) {
  return std::to_string(static_cast<int>(std::lround(v * 1000.0 / f.unitsPerEm)));
}

// The bytes of `text` as a PDF string.
std::string& appendString(std::string& out, std::string_view text) {
  out += '(';
  // In runs between the characters that take a backslash, which few texts have.
  std::size_t from = 0;
  for (std::size_t k = 0; k < text.size(); ++k) {
    const char c = text[k];
    if (c == '(' || c == ')' || c == '\\') {
      out.append(text.data() + from, k - from) += '\\';
      from = k;
    }
  }
  out.append(text.data() + from, text.size() - from);
  return out += ')';
}

// A stream of `data` compressed by `deflate`, its dictionary holding `entries` too.
// libdeflate at level 4 rather than zlib: on the largest whole upload's report (33,266 pages,
// 211 MB of predicted rows) zlib's level 4 took 1.36 s for 29.2 MB, libdeflate's 0.79 s for
// 28.4 MB; its level 1 saved another 0.15 s for 30.5 MB, and 6 cost 0.37 s more for 27.0 MB.
void appendCompressed(std::string& out, libdeflate_compressor& deflate, const std::string& data,
                      const std::string& entries = "") {
  const std::size_t bound = libdeflate_zlib_compress_bound(&deflate, data.size());
  std::string packed(bound, '\0');
  const std::size_t length =
      libdeflate_zlib_compress(&deflate, data.data(), data.size(), packed.data(), bound);
  if (length == 0) refused("its compression failed");
  out += "<</Length " + std::to_string(length) + "/Filter/FlateDecode" + entries + ">>stream\n";
  out.append(packed.data(), length);
  out += "\nendstream\nendobj\n";
}

// Appends row `line` for the PNG predictors: as it is (predictor 0) when it is not mostly the
// row above it (its blanks aside), else as its bytes less those of `above` (predictor 2, "up").
// Both have the same width. Eight bytes at a time: this runs over every character of every page.
void appendPredicted(std::string& predicted, const std::string& line, const std::string& above) {
  const std::size_t width = line.size();
  const char* const now = line.data();
  const char* const up = above.data();
  std::size_t same = 0, marks = 0, k = 0;
  for (; k + 8 <= width; k += 8) {
    const std::uint64_t w = eightBytes(now + k);
    const std::uint64_t marked =
        ~(zeroBytes(w ^ (' ' * kEveryByte)) | zeroBytes(w ^ ('\n' * kEveryByte))) & kHighBits;
    marks += static_cast<std::size_t>(std::popcount(marked));
    same += static_cast<std::size_t>(std::popcount(marked & zeroBytes(w ^ eightBytes(up + k))));
  }
  for (; k < width; ++k) {
    const std::size_t mark = now[k] != ' ' && now[k] != '\n' ? 1 : 0;
    marks += mark;
    same += mark & (now[k] == up[k] ? 1 : 0);
  }
  const std::size_t at = predicted.size();
  predicted.resize(at + 1 + width);
  char* out = predicted.data() + at;
  if (2 * same < marks) {
    out[0] = '\0';
    std::memcpy(out + 1, now, width);
    return;
  }
  out[0] = '\2';
  for (k = 0; k + 8 <= width; k += 8) {
    const std::uint64_t d = byteDifferences(eightBytes(now + k), eightBytes(up + k));
    std::memcpy(out + 1 + k, &d, 8);
  }
  for (; k < width; ++k)
    out[1 + k] =
        static_cast<char>(static_cast<unsigned char>(now[k]) - static_cast<unsigned char>(up[k]));
}

bool space(char c) {
  return c == ' ' || c == '\n' || c == '\r' || c == '\t' || c == '\f';
}

// Where the value of `key` starts in `dict` (`key` a whole name), or npos.
std::size_t valueOf(std::string_view dict, std::string_view key) {
  for (std::size_t at = dict.find(key); at != std::string_view::npos; at = dict.find(key, at + 1)) {
    const std::size_t end = at + key.size();
    if (end == dict.size() || !std::isalnum(static_cast<unsigned char>(dict[end]))) return end;
  }
  return std::string_view::npos;
}

// The unsigned number at `at` (after blanks), moving `at` past it.
std::size_t unsignedAt(std::string_view s, std::size_t& at, const std::string& what) {
  while (at < s.size() && space(s[at])) ++at;
  std::size_t v = 0;
  const auto [end, ec] = std::from_chars(s.data() + at, s.data() + s.size(), v);
  if (ec != std::errc{}) refused("its " + what + " is not a number");
  at = static_cast<std::size_t>(end - s.data());
  return v;
}

// The object number of the reference "n g R" at `at`.
std::size_t referenceAt(std::string_view s, std::size_t at, const std::string& what) {
  if (at == std::string_view::npos) refused("it has no " + what);
  const std::size_t n = unsignedAt(s, at, what);
  unsignedAt(s, at, what);
  while (at < s.size() && space(s[at])) ++at;
  if (at >= s.size() || s[at] != 'R') refused("its " + what + " is not a reference");
  return n;
}

}  // namespace

void PdfListing::FreeCompressor::operator()(libdeflate_compressor* c) const {
  libdeflate_free_compressor(c);
}

PdfListing::PdfListing(std::string base, bool keepPages, const PdfFont& font, double width,
                       double height)
    : deflate_(libdeflate_alloc_compressor(4)),
      out_(std::move(base)),
      widths_(font.widths),
      descent_(-font.facts.descent * 1000.0 / font.facts.unitsPerEm) {
  if (!deflate_) refused("its compressor could not be made");
  media_ = "[0 0 " + number(width) + " " + number(height) + "]";
  // The cross-reference table the trailer's startxref points at, and the trailer after it.
  const std::size_t startxref = out_.rfind("startxref");
  if (startxref == std::string::npos) refused("it has no startxref");
  std::size_t at = startxref + 9;
  previous_ = unsignedAt(out_, at, "startxref");
  const std::map<std::size_t, std::size_t> where = readCrossReference(at);
  readTrailer(std::string_view(out_).substr(at, startxref - at));
  readPageTree(where, keepPages);
  addFont(font);
  node_ = add();
}

std::map<std::size_t, std::size_t> PdfListing::readCrossReference(std::size_t& at) const {
  if (previous_ > out_.size() || out_.compare(previous_, 4, "xref") != 0)
    refused("startxref does not point at a cross-reference table");
  std::map<std::size_t, std::size_t> where;
  for (at = previous_ + 4;;) {
    while (at < out_.size() && space(out_[at])) ++at;
    if (out_.compare(at, 7, "trailer") == 0) break;
    const std::size_t from = unsignedAt(out_, at, "cross-reference section");
    const std::size_t count = unsignedAt(out_, at, "cross-reference section");
    while (at < out_.size() && space(out_[at])) ++at;
    for (std::size_t k = 0; k < count; ++k, at += 20) {
      if (at + 20 > out_.size() || out_[at + 10] != ' ' || out_[at + 16] != ' ')
        refused("a cross-reference entry is malformed");
      std::size_t entry = at;
      const std::size_t offset = unsignedAt(out_, entry, "cross-reference entry");
      if (out_[at + 17] == 'n') where[from + k] = offset;
    }
  }
  return where;
}

void PdfListing::readTrailer(std::string_view trailer) {
  std::size_t sizeAt = valueOf(trailer, "/Size");
  if (sizeAt == std::string_view::npos) refused("its trailer has no /Size");
  size_ = unsignedAt(trailer, sizeAt, "trailer's /Size");
  root_ = std::to_string(referenceAt(trailer, valueOf(trailer, "/Root"), "catalog")) + " 0 R";
  if (valueOf(trailer, "/Info") != std::string_view::npos)
    info_ = std::to_string(referenceAt(trailer, valueOf(trailer, "/Info"), "/Info")) + " 0 R";
  if (const std::size_t id = valueOf(trailer, "/ID"); id != std::string_view::npos) {
    const std::size_t end = trailer.find(']', id);
    if (end == std::string_view::npos) refused("its trailer's /ID is malformed");
    id_ = std::string(trailer.substr(id, end + 1 - id));
  }
}

std::string_view PdfListing::dictionary(const std::map<std::size_t, std::size_t>& where,
                                        std::size_t n, const std::string& what) const {
  const std::string head = std::to_string(n) + " 0 obj";
  const auto w = where.find(n);
  if (w == where.end() || w->second > out_.size() ||
      out_.compare(w->second, head.size(), head) != 0)
    refused("its " + what + " is not where its cross-reference table says");
  const std::size_t end = out_.find("endobj", w->second);
  if (end == std::string::npos) refused("its " + what + " has no end");
  return std::string_view(out_).substr(w->second + head.size(), end - w->second - head.size());
}

void PdfListing::readPageTree(const std::map<std::size_t, std::size_t>& where, bool keepPages) {
  // The catalog's page tree.
  const std::size_t catalog = std::stoul(root_);
  tree_ = referenceAt(dictionary(where, catalog, "catalog"),
                      valueOf(dictionary(where, catalog, "catalog"), "/Pages"), "page tree");
  const std::string_view tree = dictionary(where, tree_, "page tree");
  const std::size_t kidsKey = tree.find("/Kids"), countKey = valueOf(tree, "/Count");
  const std::size_t open = tree.find('[', kidsKey), close = tree.find(']', open);
  if (kidsKey == std::string_view::npos || close == std::string_view::npos ||
      countKey == std::string_view::npos || tree.find("/Type /Pages") == std::string_view::npos)
    refused("its page tree has no /Kids or /Count");
  std::size_t countEnd = countKey;
  const std::size_t count = unsignedAt(tree, countEnd, "page count");
  const std::string_view kids = tree.substr(open + 1, close - open - 1);
  std::size_t references = 0;
  for (const char c : kids) references += c == 'R' ? 1 : 0;
  if (references != count) refused("its page tree is not flat");
  if (keepPages) {
    treeKids_ = std::string(kids);
    treeCount_ = count;
  }
  // The tree's dictionary without its kids and count, which the new version gives first.
  std::string rest(tree);
  const std::size_t countAt = countKey - 6;
  if (countAt > kidsKey) {
    rest.erase(countAt, countEnd - countAt).erase(kidsKey, close + 1 - kidsKey);
  } else {
    rest.erase(kidsKey, close + 1 - kidsKey).erase(countAt, countEnd - countAt);
  }
  const std::size_t dictOpen = rest.find("<<");
  if (dictOpen == std::string::npos) refused("its page tree is not a dictionary");
  treeBefore_ = rest.substr(0, dictOpen + 2);
  treeAfter_ = rest.substr(dictOpen + 2);
}

void PdfListing::addFont(const PdfFont& font) {
  // The font, once for every page.
  first_ = size_;
  const FontFacts& f = font.facts;
  const std::size_t file = add();
  object(file);
  appendCompressed(out_, *deflate_, font.file, " /Length1 " + std::to_string(font.file.size()));
  // A subset's name starts with a tag of six capitals.
  const std::string name = "/KDUSUB+" + f.postScriptName;
  bool fixed = true;
  for (const int w : font.widths) fixed = fixed && w == font.widths[0];
  const int flags = (fixed ? 1 : 0) + 32 + (f.italicAngle != 0.0 ? 64 : 0);
  const std::size_t descriptor = add();
  object(descriptor);
  out_ += "<< /Type /FontDescriptor /FontName " + name + " /Flags " + std::to_string(flags) +
          " /FontBBox [" + scaled(f.xMin, f) + " " + scaled(f.yMin, f) + " " + scaled(f.xMax, f) +
          " " + scaled(f.yMax, f) + "] /ItalicAngle " + number(f.italicAngle) + " /Ascent " +
          scaled(f.ascent, f) + " /Descent " + scaled(f.descent, f) + " /CapHeight " +
          scaled(f.capHeight, f) + " /StemV " + std::to_string(10 + 220 * (f.weight - 50) / 900) +
          " /MissingWidth " + std::to_string(font.widths[0]) + " /FontFile2 " +
          std::to_string(file) + " 0 R >>\nendobj\n";
  fontObject_ = add();
  object(fontObject_);
  out_ += "<< /Type /Font /Subtype /TrueType /BaseFont " + name +
          " /FirstChar 32 /LastChar 255 /Encoding /WinAnsiEncoding /FontDescriptor " +
          std::to_string(descriptor) + " 0 R /Widths [";
  for (const int w : font.widths) out_ += std::to_string(w) + " ";
  out_ += "] >>\nendobj\n";
}

std::size_t PdfListing::add() {
  offsets_.push_back(0);
  return size_++;
}

void PdfListing::object(std::size_t n) {
  offsets_[n - first_] = out_.size();
  out_ += std::to_string(n) + " 0 obj\n";
}

double PdfListing::width(std::string_view text, double points) const {
  double units = 0;
  for (const char c : text) {
    const auto code = static_cast<unsigned char>(c);
    units += widths_[code >= 32 ? code - 32 : 0];
  }
  return units * points / 1000.0;
}

double PdfListing::descent(double points) const {
  return descent_ * points / 1000.0;
}

std::string& PdfListing::row() {
  if (rows_ == page_.size()) page_.emplace_back();
  std::string& r = page_[rows_++];
  r.clear();
  return r;
}

void PdfListing::text(double x, double y, double points, std::string_view text) {
  // Positions as they are written, so that the moves from line to line add up exactly.
  x = rounded(x);
  y = rounded(y);
  if (!inText_) row() = "BT";
  inText_ = true;
  if (points != points_) row() = "/F1 " + number(points) + " Tf";
  points_ = points;
  const double dx = x - x_, dy = y - y_;
  const bool below = std::abs(dx) < 1e-6 && dy < -1e-6;
  if (below && leading_ == 0) {
    // The move to the next line, from now on one operator.
    leading_ = -dy;
    row() = number(leading_) + " TL";
  }
  if (below && std::abs(dy + leading_) < 0.01) {
    appendString(row(), text) += '\'';
    y_ -= leading_;  // where the reader puts it, within a rounding of where it should be
    return;
  }
  row() = number(dx) + " " + number(dy) + " Td";
  appendString(row(), text) += " Tj";
  x_ = x;
  y_ = y;
}

void PdfListing::repeated(double x, double y, double points, std::string_view text) {
  std::size_t& form = forms_[number(points) + " " + std::string(text)];
  if (form == 0) {
    form = add();
    object(form);
    std::string content = "BT /F1 " + number(points) + " Tf ";
    appendString(content, text) += " Tj ET";
    // Its box holds the glyphs' reach above and below the baseline, as far as a font goes.
    out_ += "<</Type/XObject/Subtype/Form/BBox[0 " + number(-points) + " " +
            number(width(text, points) + points) + " " + number(2 * points) +
            "]/Resources<</Font<</F1 " + std::to_string(fontObject_) + " 0 R>>>>/Length " +
            std::to_string(content.size()) + ">>stream\n" + content + "\nendstream\nendobj\n";
    xobjects_ += "/T" + std::to_string(form) + " " + std::to_string(form) + " 0 R";
  }
  // A form is drawn outside the text object; the next text starts a new one.
  if (inText_) row() = "ET";
  inText_ = false;
  row() = "q 1 0 0 1 " + number(rounded(x)) + " " + number(rounded(y)) + " cm /T" +
          std::to_string(form) + " Do Q";
  x_ = y_ = points_ = 0;
}

void PdfListing::endPage() {
  if (inText_) row() = "ET";
  inText_ = false;
  // The operators one to a row, the rows padded to one width: a line's characters stand
  // under the line's before it, and the PNG predictor "up" (each byte less the one above it)
  // leaves little but the characters that change for the compression. A row that is not
  // mostly the one above it (its blanks aside) goes as it is.
  std::size_t width = 1;
  for (std::size_t r = 0; r < rows_; ++r) width = std::max(width, page_[r].size() + 1);
  above_.assign(width, '\0');
  predicted_.clear();
  for (std::size_t r = 0; r < rows_; ++r) {
    std::string& line = page_[r];
    line.resize(width - 1, ' ');
    line += '\n';
    appendPredicted(predicted_, line, above_);
    above_.swap(line);
  }
  const std::size_t contents = add();
  object(contents);
  appendCompressed(out_, *deflate_, predicted_,
                   "/DecodeParms<</Predictor 15/Columns " + std::to_string(width) + ">>");
  const std::size_t page = add();
  object(page);
  out_ += "<</Type/Page/Parent " + std::to_string(node_) + " 0 R/Contents " +
          std::to_string(contents) + " 0 R>>\nendobj\n";
  kids_ += std::to_string(page) + " 0 R ";
  ++count_;
  rows_ = 0;
  x_ = y_ = points_ = leading_ = 0;
}

std::string PdfListing::finish() {
  // The new pages hang from a node of their own, which gives them their box and font.
  object(node_);
  out_ += "<</Type/Pages/Parent " + std::to_string(tree_) + " 0 R/Count " + std::to_string(count_) +
          "/MediaBox" + media_ + "/Resources<</Font<</F1 " + std::to_string(fontObject_) +
          " 0 R>>/XObject<<" + xobjects_ + ">>>>/Kids[" + kids_ + "]>>\nendobj\n";
  const std::size_t treeAt = out_.size();
  out_ += std::to_string(tree_) + " 0 obj\n" + treeBefore_ + "\n/Kids [" + treeKids_ + " " +
          std::to_string(node_) + " 0 R]\n/Count " + std::to_string(treeCount_ + count_) +
          treeAfter_ + "endobj\n";
  const std::size_t xref = out_.size();
  const auto entry = [this](std::size_t offset) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%010zu 00000 n \n", offset);
    out_ += buf;
  };
  out_ += "xref\n" + std::to_string(tree_) + " 1\n";
  entry(treeAt);
  out_ += std::to_string(first_) + " " + std::to_string(offsets_.size()) + "\n";
  for (const std::size_t offset : offsets_) entry(offset);
  out_ += "trailer\n<< /Size " + std::to_string(size_) + " /Root " + root_ +
          (info_.empty() ? "" : " /Info " + info_) + (id_.empty() ? "" : " /ID " + id_) +
          " /Prev " + std::to_string(previous_) + " >>\nstartxref\n" + std::to_string(xref) +
          "\n%%EOF\n";
  return std::move(out_);
}

}  // namespace kestrand::adapters::qt
