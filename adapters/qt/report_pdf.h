#pragma once
// The survey report a surveyor hands over, as a PDF file: a summary (the files, the notes, the
// header details, the statistics against the reference level, and the chart drawn as vectors),
// then the listing pages "Print Data" prints, in the printer's font and positions, on the same
// document.

#include <QPagedPaintDevice>
#include <functional>
#include <memory>
#include <string>

#include "adapters/qt/chart_painter.h"
#include "ports/file_system.h"
#include "ports/printer.h"
#include "view/survey.h"

class QPainter;

namespace kestrand::adapters::qt {

// Paints the summary from the top of the device's current page, starting further pages where it
// needs them; returns how many pages it took. `pageEnds` is called as each page but the last
// is done, before the next is started. The texts of `summary` are Windows-1252, its
// notes UTF-8.
int paintSurveySummary(QPainter& painter, QPagedPaintDevice& device,
                       const view::SurveySummary& summary, const view::ChartData& chart,
                       const ChartOptions& chartOptions,
                       const std::function<void()>& pageEnds = {});

// The report's PDF document at `path`, written through `fs`, its summary painted: the listing
// pages go to the printer returned, and its endDoc writes the file whole (made in memory, then
// put in place in one step). Throws kestrand::Error.
std::unique_ptr<ports::Printer> openSurveyReport(ports::FileSystem& fs, const std::string& path,
                                                 const view::SurveySummary& summary,
                                                 const view::ChartData& chart,
                                                 const ChartOptions& chartOptions);

}  // namespace kestrand::adapters::qt
