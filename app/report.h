#pragma once
// The survey report's content, made once for the desktop's "Save report as PDF..." and for
// `kestrand-cli report`: the summary (files, notes, details, statistics, assessment), the chart
// it shows, and what its listing pages print. Painting it is the front end's.

#include <optional>
#include <string>
#include <vector>

#include "app/whole_upload.h"
#include "ports/clock.h"
#include "store/header.h"
#include "store/sample_table.h"
#include "view/assessment.h"
#include "view/chart.h"
#include "view/exposure.h"
#include "view/grid.h"
#include "view/report.h"
#include "view/survey.h"

namespace kestrand::app {

// The pixel columns a report's chart is reduced to: two to four stretches to each point of the
// printed chart's width (about 540), each line being a point wide.
inline constexpr int kReportChartColumns = 1000;

struct ReportRequest {
  std::string dir, name;  // the file reported on
  bool whole = false;     // its whole upload
  bool listing = true;    // the listing pages follow the summary
  std::optional<double> reference;
  using Assessing = view::AssessmentBasis;
  std::optional<Assessing> assessing;
  ports::LocalTime made;  // for the report's id
};

// The one file of a report that is not of a whole upload: the table read, as on display.
struct ShownFile {
  view::ChartData chart;
  const store::SampleTable& table;
  const store::HeaderFields& header;
  view::InfoLabels labels;
};

struct ReportContent {
  view::SurveySummary summary;
  view::ChartData chart;                // reduced for the page
  std::optional<double> chartLevel;     // the line the chart draws: the limit, else the reference
  std::string title;                    // the files, as the chart and every page's foot name them
  std::vector<std::string> listed;      // a whole upload: the files whose listings follow, in turn
  std::vector<view::ReportPage> pages;  // one file: its listing
  std::vector<std::string> messages;    // what reading the whole upload found (also its remarks)
  std::string notesError;               // the notes could not be read; the report goes on
};

// The report on `shown`, or with `request.whole` on the whole upload of `request.name` (read
// through `reader`, one file at a time). Its chart has no samples when there are none.
ReportContent makeReport(const UploadReader& reader, const ReportRequest& request,
                         std::optional<ShownFile> shown);

}  // namespace kestrand::app
