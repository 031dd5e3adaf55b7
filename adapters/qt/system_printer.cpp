#include "adapters/qt/system_printer.h"

#include <QPrinter>
#include <QPrinterInfo>

#include "core/error.h"

namespace kestrand::adapters::qt {

PrintDevice defaultPrinter() {
  PrintDevice device;
  device.open = []() -> std::unique_ptr<QPagedPaintDevice> {
    const QPrinterInfo info = QPrinterInfo::defaultPrinter();
    if (info.isNull()) throw Error(ErrorKind::kGeneral, "No default printer is installed");
    auto printer = std::make_unique<QPrinter>(info, QPrinter::HighResolution);
    printer->setDocName("Kestrand Data Upload");
    return printer;
  };
  device.abort = [](QPagedPaintDevice& printer) {
    if (auto* p = dynamic_cast<QPrinter*>(&printer)) p->abort();
  };
  return device;
}

}  // namespace kestrand::adapters::qt
