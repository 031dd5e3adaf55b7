#include "desktop/chart_tab.h"

#include "adapters/qt/report_pdf.h"
#include "app/settings_files.h"

namespace kestrand::desktop {

namespace {

// What the survey shows goes to the chart and its notes panel, the chart through `feed`.
app::SurveyDisplay surveyDisplay(adapters::qt::ChartWidget* chart, adapters::qt::ChartFeed* feed) {
  app::SurveyDisplay display;
  display.chart = [feed](std::function<view::ChartData()> make, const std::string& title) {
    feed->set(std::move(make), title);
  };
  display.notes = [chart](const store::Notes& notes, bool editable) {
    chart->notesPanel().setNotes(notes, editable);
  };
  display.wholeBox = [chart](bool shown, bool checked) { chart->setWholeBox(shown, checked); };
  return display;
}

// The report's chart as the tab draws it for a file: its caption and legend, the level shown.
app::ReportOpener surveyReportOpener(ports::FileSystem& fs) {
  return [&fs](const std::string& path, const view::SurveySummary& summary,
               const view::ChartData& data, std::optional<double> level, const std::string& title) {
    adapters::qt::ChartOptions look;
    look.reference = level;
    look.title = title;
    return adapters::qt::openSurveyReport(fs, path, summary, data, look);
  };
}

// The chart's reference level, standard and frequency come from their settings files in `dir`
// and go back there when edited; what goes wrong, and its news, go to the general message.
void keepChartSettings(adapters::qt::ChartWidget* chart, ports::FileSystem& fs,
                       app::Presenter& present, const std::string& dir) {
  chart->onMessage([&present](const std::string& text) { present.genMsg().ShowGeneralMsg(text); });
  chart->setReference(app::readReferenceLevel(fs, dir));
  chart->setAssessment(app::readAssessmentChoice(fs, dir));
  chart->onAssessmentChosen([&fs, &present, dir](const view::AssessmentChoice& choice) {
    try {
      app::saveAssessmentChoice(fs, dir, choice);
    } catch (const Error& e) {
      present.genMsg().ShowGeneralMsg(e.description());
    }
  });
  chart->onReferenceTyped([&fs, &present, dir](std::optional<double> level) {
    try {
      app::saveReferenceLevel(fs, dir, level);
    } catch (const Error& e) {
      present.genMsg().ShowGeneralMsg(e.description());
    }
  });
}

}  // namespace

ChartTab::ChartTab(app::MainWindow& window, adapters::qt::QtMainView& view, ports::FileSystem& fs,
                   ports::Dialogs& dialogs) {
  app::Program& program = window.program();
  const std::string& dir = program.files.DataPath();
  chart_ = new adapters::qt::ChartWidget(fs, dialogs, dir);
  view.addPage(chart_, "Chart");
  adapters::qt::ChartWidget* chart = chart_;
  feed_ = std::make_unique<adapters::qt::ChartFeed>(*chart);
  survey_ = std::make_unique<app::Survey>(
      program.doc, program.present, fs, program.services.timers, program.services.clock, dialogs,
      dir, surveyDisplay(chart, feed_.get()), surveyReportOpener(fs));
  app::Survey* survey = survey_.get();

  program.doc.showChart = [survey](std::function<view::ChartData()> make, const std::string&) {
    survey->shown(std::move(make));
  };
  window.onSaveReport = [survey] { survey->saveReport(); };
  chart->onWholeToggled([survey](bool whole) { survey->setWhole(whole); });
  chart->notesPanel().onSave(
      [survey](const store::Notes& notes) { return survey->saveNotes(notes); });
  // Edited notes are not left behind without a word: View, Open and closing the window ask.
  window.mayLeave = [chart] { return chart->notesPanel().mayLeave(); };
  keepChartSettings(chart, fs, program.present, dir);
}

}  // namespace kestrand::desktop
