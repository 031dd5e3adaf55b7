#include "app/report.h"

#include <utility>

#include "core/error.h"
#include "store/notes.h"
#include "view/stats.h"

namespace kestrand::app {
namespace {

// The assessment the request asks for, added to the summary; the chart then draws its limit.
void addAssessment(ReportContent& out, const ReportRequest& request,
                   const std::optional<view::Assessment>& result) {
  out.chartLevel = request.reference;
  if (!request.assessing || !result) return;
  const ReportRequest::Assessing& a = *request.assessing;
  view::addAssessment(out.summary, out.chart, *a.standard, a.hz, a.limits, a.uncertaintyDb,
                      *result);
  if (!result->columns.empty()) out.chartLevel = result->columns.front().limit;
}

}  // namespace

ReportContent makeReport(const UploadReader& reader, const ReportRequest& request,
                         std::optional<ShownFile> shown) {
  ReportContent out;
  std::vector<std::string> files{request.name};
  std::vector<view::ColumnStats> stats;
  std::optional<view::Assessment> assessment;
  view::InfoLabels labels;
  std::size_t listingPages = 0;
  if (request.whole) {
    WholeUploadWanted wanted{kReportChartColumns, std::nullopt, true};
    if (request.assessing)
      wanted.assessment = {request.assessing->limits, request.assessing->uncertaintyDb};
    WholeUpload upload = readWholeUpload(reader, request.dir, request.name, wanted);
    out.chart = std::move(upload.chart);
    files = std::move(upload.files);
    stats = std::move(upload.stats);
    assessment = std::move(upload.assessment);
    labels = std::move(upload.labels);
    out.messages = std::move(upload.messages);
    if (request.listing) out.listed = files;
    listingPages = upload.listingPages;
  } else if (shown) {
    out.chart = std::move(shown->chart);
    stats = view::columnStats(out.chart);
    if (request.assessing)
      assessment =
          view::assess(out.chart, request.assessing->limits, request.assessing->uncertaintyDb);
    labels = shown->labels;
    if (request.listing) out.pages = view::ReportListing(shown->table, shown->header);
    listingPages = out.pages.size();
  }
  if (out.chart.samples() == 0 || files.empty()) return out;

  store::Notes notes;
  try {
    notes = store::readNotes(reader.fs, ports::joinPath(request.dir, files.front()));
  } catch (const Error& e) {
    out.notesError = e.description();
  }
  out.title = files.size() > 1 ? files.front() + " to " + files.back() : files.front();
  out.summary = view::surveySummary(files, std::move(notes), labels, stats, request.reference,
                                    out.chart.units);
  if (request.whole) out.summary.remarks = out.messages;
  out.summary.reportId = view::reportId(out.chart, request.made);
  out.summary.listingPages = request.listing ? listingPages : 0;
  out.summary.pageFoot = out.title;
  addAssessment(out, request, assessment);
  return out;
}

}  // namespace kestrand::app
