#pragma once
// The system's default printer, without a dialog: kept apart from the printer of reports so that
// a program that prints only PDF files needs no print support (and no widgets) loaded.

#include "adapters/qt/qt_printer.h"

namespace kestrand::adapters::qt {

// Opens the default printer at high resolution; throws when none is installed.
PrintDevice defaultPrinter();

}  // namespace kestrand::adapters::qt
