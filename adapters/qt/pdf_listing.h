#pragma once
// Pages of plain text lines added to a finished PDF document as an incremental update: the
// document's bytes stay as they are, and after them come one embedded TrueType font (Windows-1252
// codes), each page's text runs as a compressed content stream and a page object, a new
// version of the document's page tree holding the new pages after (or instead of) its own, and
// a cross-reference section whose trailer points back at the document's.
//
// Each page is compressed and appended as it is finished; the whole file is handed back at the
// end. The document must have a classic cross-reference table and a flat page tree, as Qt's PDF
// engine writes them; anything else is refused with a kestrand::Error naming it.

#include <array>
#include <cstddef>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "adapters/qt/truetype_subset.h"

struct libdeflate_compressor;

namespace kestrand::adapters::qt {

// The font of the pages: the font file (a subset) and its facts, and the width of each code
// 32..255 in thousandths of the font's size.
struct PdfFont {
  std::string file;
  FontFacts facts;
  std::array<int, 224> widths{};
};

class PdfListing {
 public:
  // Goes on from the document `base`; its own pages stay before the new ones when `keepPages`,
  // else only the new ones make the document. Pages are `width` by `height` points.
  PdfListing(std::string base, bool keepPages, const PdfFont& font, double width, double height);
  PdfListing(const PdfListing&) = delete;
  PdfListing& operator=(const PdfListing&) = delete;

  // `text` (Windows-1252) in the font at `points`, its baseline starting at `x`, `y` points
  // from the page's bottom-left corner.
  void text(double x, double y, double points, std::string_view text);
  // As text(), for a text many pages show alike (a foot): written once, each page refers to it.
  void repeated(double x, double y, double points, std::string_view text);
  // The width of `text` in the font at `points`, and how far the font reaches below its
  // baseline.
  double width(std::string_view text, double points) const;
  double descent(double points) const;
  // Ends the page being written (an empty one if nothing was written on it).
  void endPage();
  // The document with its new pages; the writer is spent.
  std::string finish();

 private:
  // The parts of the constructor. The document's cross-reference table at previous_: the
  // offsets of its objects in use, by number; `at` ends where its trailer starts.
  std::map<std::size_t, std::size_t> readCrossReference(std::size_t& at) const;
  // Its trailer's size, catalog, info and ID.
  void readTrailer(std::string_view trailer);
  // Its page tree, split around /Kids and /Count; its kids kept when `keepPages`.
  void readPageTree(const std::map<std::size_t, std::size_t>& where, bool keepPages);
  // The dictionary of object `n` (`what` names it in a refusal), found through `where`.
  std::string_view dictionary(const std::map<std::size_t, std::size_t>& where, std::size_t n,
                              const std::string& what) const;
  // The font's file, descriptor and dictionary, written once for every page.
  void addFont(const PdfFont& font);
  // Starts object `number` at the end of the file.
  void object(std::size_t number);
  std::size_t add();  // a new object number

  struct FreeCompressor {
    void operator()(libdeflate_compressor* c) const;
  };
  // The streams' compressor, made once for all of them.
  std::unique_ptr<libdeflate_compressor, FreeCompressor> deflate_;
  std::string out_;
  std::array<int, 224> widths_;
  double descent_;     // in thousandths of the font's size
  std::string media_;  // the pages' box
  // What the document's own part says.
  std::size_t previous_ = 0;  // its cross-reference table
  std::size_t size_ = 0;      // its number of objects, then ours too
  std::string root_, info_, id_;
  std::size_t tree_ = 0;                // the page tree's object number
  std::string treeBefore_, treeAfter_;  // its dictionary around /Kids and /Count
  std::string treeKids_;                // its kids that stay
  std::size_t treeCount_ = 0;
  std::size_t first_ = 0;             // our first object number
  std::vector<std::size_t> offsets_;  // of our objects, from first_
  std::size_t fontObject_ = 0;
  std::size_t node_ = 0;  // the page tree node of our pages
  std::string kids_;
  std::size_t count_ = 0;
  // The page being written: its first rows_ rows (operators) and where its last text started.
  std::string& row();
  std::vector<std::string> page_;
  std::size_t rows_ = 0;
  double x_ = 0, y_ = 0, points_ = 0, leading_ = 0;
  std::string above_, predicted_;
  bool inText_ = false;                       // in a text object (BT)
  std::map<std::string, std::size_t> forms_;  // the repeated texts' objects by size and text
  std::string xobjects_;                      // their names
};

}  // namespace kestrand::adapters::qt
