#include "view/survey.h"

#include <cmath>
#include <cstdio>

#include "core/text.h"

namespace kestrand::view {

SurveySummary surveySummary(std::vector<std::string> files, store::Notes notes,
                            const InfoLabels& labels, const std::vector<ColumnStats>& stats,
                            std::optional<double> reference, const std::string& units) {
  SurveySummary s;
  s.files = std::move(files);
  s.notes = std::move(notes);
  for (const std::string* label :
       {&labels.lblStartDate, &labels.lblEndDate, &labels.lblStartTime, &labels.lblEndTime,
        &labels.lblSampleCnt, &labels.lblProbeModel, &labels.lblUnits, &labels.MAVG_mess}) {
    if (!label->empty()) s.details.push_back(*label);
  }
  s.statsHead = {"Column", "Samples", "Minimum", "Maximum", "Time of maximum", "Mean", "RMS mean"};
  if (reference) {
    s.details.push_back("Reference level - " + shortNumber(*reference) +
                        (units.empty() ? "" : " " + units));
    s.statsHead.emplace_back("% of reference");
  }
  for (const ColumnStats& column : stats) {
    s.statsRows.push_back(statsCells(column));
    if (reference) s.statsRows.back().push_back(shortNumber(percentOf(column.maximum, *reference)));
  }
  return s;
}

std::string reportId(const ChartData& chart, const ports::LocalTime& made) {
  std::string start = chart.samples() ? isoInstantText(chart, 0.0) : "";
  std::erase_if(start, [](char c) { return c == '-' || c == ':'; });
  char when[32];
  std::snprintf(when, sizeof when, "%04d%02d%02dT%02d%02d%02d", made.year, made.month, made.day,
                made.hour, made.minute, made.second);
  return start + "-" + when;
}

Verdict overallVerdict(const Assessment& result) {
  if (result.columns.empty()) return Verdict::kInconclusive;
  Verdict all = Verdict::kComplies;
  for (const ColumnAssessment& c : result.columns) {
    if (c.verdict == Verdict::kExceeds) return Verdict::kExceeds;
    if (c.verdict == Verdict::kInconclusive) all = Verdict::kInconclusive;
  }
  return all;
}

void addAssessment(SurveySummary& summary, const ChartData& chart, const Standard& standard,
                   double hz, const Limits& limits, double uncertaintyDb,
                   const Assessment& result) {
  const std::string factor = levelText(std::pow(10.0, uncertaintyDb / 10.0));
  summary.assessmentText = {
      std::string("Standard - ") + standard.name + " (" + limits.band->source + ")",
      "Frequency - " + frequencyText(hz),
      "Averaging time - " + levelText(limits.averagingSeconds) + " s",
      "Limits - E " + levelText(limits.e.value) + " V/m" + (limits.e.derived ? " (derived)" : "") +
          ", H " + levelText(limits.h.value) + " A/m" + (limits.h.derived ? " (derived)" : "") +
          ", S " + levelText(limits.s.value) + " W/m\xB2" + (limits.s.derived ? " (derived)" : ""),
      "Decision rule - each column's highest average over the averaging time (its maximum when the "
      "upload is shorter) is compared with the limit as a share of the power-density limit. With "
      "an expanded uncertainty of " +
          shortNumber(uncertaintyDb) + " dB (a factor of " + factor +
          " in power) a column complies when its share times " + factor +
          " is at most 100 %, exceeds when its share divided by " + factor +
          " is above 100 %, and is inconclusive otherwise."};
  summary.assessmentHead = {"Column",        "Units",      "Limit",   "Maximum",
                            "% field",       "% power",    "Average", "% power",
                            "Window starts", "Coverage %", "Verdict", "Basis"};
  summary.assessmentRows.clear();
  for (const ColumnAssessment& c : result.columns)
    summary.assessmentRows.push_back(assessmentCells(chart, c));
  for (const std::string& title : result.skipped)
    summary.remarks.push_back(title + " is not assessed: its units are no field or power density.");
  summary.overallVerdict = std::string("Overall verdict - ") + verdictText(overallVerdict(result));
}

InfoLabels wholeUploadLabels(const InfoLabels& first, const InfoLabels& last, std::size_t samples) {
  InfoLabels l = first;
  l.lblEndDate = last.lblEndDate;
  l.lblEndTime = last.lblEndTime;
  l.lblSampleCnt = "Number of Samples - " + signedText(static_cast<std::int64_t>(samples));
  return l;
}

}  // namespace kestrand::view
