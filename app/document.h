#pragma once
// The document on display: the sample table, the header fields it was read with, the grid's
// layout, the file it came from, and what shows them: the data grid and the "Information"
// labels (written here only) and the chart of the desktop's "Chart" tab. A raw data file is
// read into it by "View", a saved CSV file by "Open"; "Save as" and "Print Data" take it as it
// is.

#include <cstdint>
#include <functional>
#include <string>

#include "app/presenter.h"
#include "app/whole_upload.h"
#include "core/messages.h"
#include "datetime/format_preferences.h"
#include "platform/clock.h"
#include "platform/file_system.h"
#include "platform/main_view.h"
#include "store/header.h"
#include "store/probe_table.h"
#include "store/sample_table.h"
#include "view/chart.h"
#include "view/grid.h"

namespace kestrand::app {

class Document {
 public:
  struct Deps {
    platform::MainView& view;  // the grid and the "Information" labels
    Presenter& present;        // the pointer, the status label, the progress bar, the boxes
    const platform::FileSystem& fs;
    const platform::Clock& clock;  // today's date, for a start date that names no year
    const MessageCatalogue& messages;
    const store::ProbeTable& probes;
    // The current header fields, which an upload and the file list's loader write as well.
    store::HeaderFields& header;
    const datetime::FormatPreferences& formats;
    const std::int16_t& ElapsedMode;  // set by the link when the meter reports elapsed time
    const std::string& CurrentFile;   // names the chart
  };
  explicit Document(Deps deps);
  Document(const Document&) = delete;
  Document& operator=(const Document&) = delete;

  // Reads raw data file `filename` from `dir` into the table, with the busy pointer, the status
  // label and the progress bar; then shows the reader's messages.
  void ReadRawDataFile(const std::string& filename, const std::string& dir);
  // Shows the table in the grid and the "Information" labels, and hands its chart over: after a
  // read, a clear, or an opened CSV file.
  void UpdateDataTable();
  // The grid's empty start-up layout.
  void UpdateDataTable2();
  // Empties the table's rows and marks (the number of samples stays).
  void clear_regs();
  // No samples, and the grid and labels rebuilt to show so.
  void ClearDat();

  // The "Information" labels as last shown.
  const view::InfoLabels& labels() const { return labels_; }
  // How dates and times are shown now.
  view::DateContext dates() const;
  // How the files of an upload are read for a series of their own, as this document reads one.
  UploadReader uploadReader() const;
  const MessageCatalogue& messages() const { return d_.messages; }

  store::SampleTable table;
  store::HeaderFields& header;
  view::GridLayout grid;  // what the grid shows of `table`
  // The file the table was read from (a raw data file or a saved CSV file), by its path; empty
  // once the table is cleared.
  std::string shownFile;
  // Where the chart of the table goes, with the upload's name (the desktop program's "Chart"
  // tab); called after every grid update with what makes the chart, so that it is made when it
  // is needed. It reads the table and the grid as they stand then, which only the next update
  // changes.
  std::function<void(std::function<view::ChartData()> make, const std::string& name)> showChart;

 private:
  void showGrid();

  Deps d_;
  view::InfoLabels labels_;
};

}  // namespace kestrand::app
