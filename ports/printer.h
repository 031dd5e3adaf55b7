#pragma once
// The default printer as the printed report drives it: a font, a print position in inches from
// the printable area's top-left corner, one line at a time, pages, the end of the document.
// Texts are Windows-1252 bytes. Any failure (no printer, a refused job) is thrown as
// kestrand::Error.

#include <string>

namespace kestrand::ports {

class Printer {
 public:
  virtual ~Printer() = default;
  // Opens the document on its first use.
  virtual void setFont(const std::string& name, int points) = 0;
  virtual void setCurrentX(double inches) = 0;
  virtual void setCurrentY(double inches) = 0;
  // Prints `text` at the print position, then moves the position to the left edge of the next
  // line (one line height of the font further down).
  virtual void printLine(const std::string& text) = 0;
  virtual void newPage() = 0;
  // How many characters of the font a line holds from `inches` right of the printable area's
  // left edge to its right edge, once the document is open; 0 when the printer cannot say.
  virtual int lineCharacters(double) const { return 0; }
  // Ends the document: the job goes to the printer.
  virtual void endDoc() = 0;
};

}  // namespace kestrand::ports
