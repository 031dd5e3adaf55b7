#include "desktop/chart_tab.h"

#include "app/settings_files.h"
#include "adapters/qt/report_pdf.h"

namespace kestrand::desktop {

ChartTab::ChartTab(app::MainWindow& window, platform::qt::QtMainView& view,
                   platform::FileSystem& fs, platform::Dialogs& dialogs) {
  app::Program& program = window.program();
  const std::string& dir = program.files.DataPath();
  chart_ = new platform::qt::ChartWidget(fs, dialogs, dir);
  view.addPage(chart_, "Chart");
  platform::qt::ChartWidget* chart = chart_;
  feed_ = std::make_unique<platform::qt::ChartFeed>(*chart);
  platform::qt::ChartFeed* feed = feed_.get();

  app::SurveyDisplay display;
  display.chart = [feed](std::function<view::ChartData()> make, const std::string& title) {
    feed->set(std::move(make), title);
  };
  display.notes = [chart](const store::Notes& notes, bool editable) {
    chart->notesPanel().setNotes(notes, editable);
  };
  display.wholeBox = [chart](bool shown, bool checked) { chart->setWholeBox(shown, checked); };
  // The report's chart as the tab draws it for a file: its caption and legend, the level shown.
  auto open = [&fs, chart](const std::string& path, const view::SurveySummary& summary,
                           const view::ChartData& data, std::optional<double> level,
                           const std::string& title) {
    platform::qt::ChartOptions look;
    look.reference = level;
    look.title = title;
    return platform::qt::openSurveyReport(fs, path, summary, data, look);
  };
  survey_ = std::make_unique<app::Survey>(program.doc, program.present, fs, program.services.timers,
                                          program.services.clock, dialogs, dir, std::move(display),
                                          std::move(open));
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
  // Its news goes to the general message; the reference level lives in its settings file.
  app::Presenter& present = program.present;
  chart->onMessage([&present](const std::string& text) { present.genMsg().ShowGeneralMsg(text); });
  chart->setReference(app::readReferenceLevel(fs, dir));
  // So do the standard and frequency the statistics are assessed against.
  const app::AssessmentChoice choice = app::readAssessmentChoice(fs, dir);
  chart->setAssessment(choice.standard, choice.frequency);
  chart->onAssessmentChosen(
      [&fs, &present, dir](const std::string& standard, const std::string& frequency) {
        try {
          app::saveAssessmentChoice(fs, dir, {standard, frequency});
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

}  // namespace kestrand::desktop
