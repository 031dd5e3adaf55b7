#pragma once
// The state and the components of one program run, wired once, and its load steps. The desktop
// window, the headless receiver and the tests' rig all build on it, so they run the very same
// start-up, link, list and formats.

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "app/general_message.h"
#include "app/link_controller.h"
#include "app/presenter.h"
#include "core/error.h"
#include "core/messages.h"
#include "datetime/format_preferences.h"
#include "platform/clock.h"
#include "platform/file_system.h"
#include "platform/main_view.h"
#include "platform/message_box.h"
#include "platform/serial_port.h"
#include "platform/timer.h"
#include "store/catalogue.h"
#include "store/header.h"
#include "store/probe_table.h"
#include "store/sample_table.h"
#include "view/chart.h"
#include "view/grid.h"

namespace kestrand::app {

// The realisations chosen by an executable's main (or a test) and handed in.
struct Platform {
  platform::MainView& view;
  platform::MessageBox& box;
  platform::FileSystem& fs;
  platform::Clock& clock;
  platform::TimerFactory& timers;
  platform::SerialPort& port;
};

// How a front end runs the load steps.
struct LoadPlan {
  std::function<void()> openPort;  // the port step
  bool listFiles = true;           // search the data directory and list its raw data files
  // An error that escapes a step: true runs the step again, false ends the load. Without it
  // the error is thrown to the caller.
  std::function<bool(const Error&)> failed;
};

class Program {
 public:
  Program(Platform p, std::string dataPath);

  // The load steps in their order: the data path label, the port, the date and time formats,
  // the probe table, the start values, the file list, the grid's start layout. False when
  // the plan's failure handling ended the load.
  bool load(const LoadPlan& plan);
  // Sets the start values of the run's state.
  void initialize_global_vars();
  // Adds the current file to the list and shows the outcome; true when it was added.
  bool AddToList(std::int16_t extLogMode);

  // Reads raw data file `filename` from `dir` (the data directory unless given) into the sample
  // table, with the busy pointer, the status label and the progress bar; then shows the
  // reader's messages.
  void ReadRawDataFile(const std::string& filename, const std::string& dir);
  void ReadRawDataFile(const std::string& filename) { ReadRawDataFile(filename, DataPath); }
  // Shows the sample table in the grid and the "Information" labels: after a read, a clear, or
  // an opened CSV file.
  void UpdateDataTable();
  // The grid's empty start-up layout.
  void UpdateDataTable2();
  // Empties the sample table's rows and marks (the number of samples stays).
  void clear_regs();
  // No samples, and the grid and labels rebuilt to show so.
  void ClearDat();
  // A click (choice 0) or a view (choice 1) of list entry `selected` (-1 for none): the status
  // label, or the file read and shown. Throws the catalogue's error when nothing is selected.
  void Show_list_status(int selected, int choice);

  Platform p;
  std::string DataPath;
  std::int16_t ElapsedMode = 0;  // program-wide; never reset by the start-up step
  MessageCatalogue messages;
  store::ProbeTable probes;
  store::HeaderFields header;
  store::FileCatalogue catalogue;
  store::SampleTable table;
  view::GridLayout grid;  // what the data grid shows of `table`
  // The file the table on display was read from (a raw data file or a saved CSV file), by its
  // path; empty once the table is cleared.
  std::string shownFile;
  // Where the chart of the table on display goes, with the upload's name (the desktop
  // program's "Chart" tab); called after every grid update with what makes the chart, so that
  // it is made when it is needed. It reads the table and the grid as they stand then, which
  // only the next update changes.
  std::function<void(std::function<view::ChartData()> make, const std::string& name)> showChart;

  std::unique_ptr<platform::Timer> Timer1;
  std::unique_ptr<platform::Timer> tmrReadingData;
  std::unique_ptr<platform::Timer> tmrShowGenMsg;
  std::unique_ptr<platform::Timer> tmrReopen;

  GeneralMessage genMsg;
  Presenter present;
  datetime::FormatPreferences formats;
  store::FileList fileList;
  LinkController link;

 private:
  // The busy pointer, status label and progress bar, as the reader and the grid report them.
  store::Feedback feedback();
  void showGrid();
};

}  // namespace kestrand::app
