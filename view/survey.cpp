#include "view/survey.h"

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

InfoLabels wholeUploadLabels(const InfoLabels& first, const InfoLabels& last, std::size_t samples) {
  InfoLabels l = first;
  l.lblEndDate = last.lblEndDate;
  l.lblEndTime = last.lblEndTime;
  l.lblSampleCnt = "Number of Samples - " + signedText(static_cast<std::int64_t>(samples));
  return l;
}

}  // namespace kestrand::view
