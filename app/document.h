#pragma once
// The document on display: the loaded upload (the sample table, the header fields it was read
// with, the file it came from), the grid's layout, and what shows them: the data grid and the
// "Information" labels (written here only) and the chart of the desktop's "Chart" tab. A raw
// data file is read by "View", a saved CSV file by "Open"; "Save as" and "Print Data" take it as
// it is. A loaded upload is a value no one changes: a new read makes a new one, so a chart, a
// report or a grid that holds the old one keeps it whole. Nothing here touches the upload being
// received.

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "app/main_view.h"
#include "app/presenter.h"
#include "app/whole_upload.h"
#include "core/messages.h"
#include "datetime/format_preferences.h"
#include "ports/clock.h"
#include "ports/file_system.h"
#include "store/header.h"
#include "store/probe_table.h"
#include "store/sample_table.h"
#include "view/chart.h"
#include "view/grid.h"

namespace kestrand::app {

// An upload as read for display.
struct LoadedUpload {
  store::HeaderFields header;  // the header fields it was read with
  store::SampleTable table;
  // The file it was read from (a raw data file or a saved CSV file), by its path; empty once the
  // table is cleared.
  std::string path;
  // The bare name of the raw data file it was viewed from; an opened CSV file keeps the name of
  // the upload viewed before it, as its header fields are kept.
  std::string name;
};

class Document {
 public:
  struct Deps {
    ports::MainView& view;  // the grid and the "Information" labels
    Presenter& present;     // the pointer, the status label, the progress bar, the boxes
    const ports::FileSystem& fs;
    const ports::Clock& clock;  // today's date, for a start date that names no year
    const MessageCatalogue& messages;
    const store::ProbeTable& probes;
    const datetime::FormatPreferences& formats;
    // Read only: 1 once the last header the meter sent was of an elapsed-time upload.
    const std::int16_t& ElapsedMode;
  };
  explicit Document(Deps deps);
  Document(const Document&) = delete;
  Document& operator=(const Document&) = delete;

  // Reads raw data file `filename` from `dir` as the upload on display, with the busy pointer,
  // the status label and the progress bar; then shows the reader's messages.
  void ReadRawDataFile(const std::string& filename, const std::string& dir);
  // A new upload on display: `change` applied to a copy of the one shown (an opened CSV file, a
  // cleared table). When `change` throws, what it did is shown all the same and the error passes
  // on.
  void replace(const std::function<void(LoadedUpload&)>& change);
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

  // The upload on display and its parts.
  std::shared_ptr<const LoadedUpload> shown() const;
  const store::SampleTable& table() const { return shown()->table; }
  const store::HeaderFields& header() const { return shown()->header; }
  const std::string& shownFile() const { return shown()->path; }
  const std::string& shownName() const { return shown()->name; }
  const view::GridLayout& grid() const { return grid_; }  // what the grid shows of the table
  // Where the chart of the table goes, with the upload's name (the desktop program's "Chart"
  // tab); called after every grid update with what makes the chart, so that it is made when it
  // is needed. It reads the table and the grid as they stand then, which only the next update
  // changes.
  std::function<void(std::function<view::ChartData()> make, const std::string& name)> showChart;

 private:
  void showGrid();

  Deps d_;
  // None until the first read: until then an empty upload all documents share stands for it
  // (made when first asked for, so that a command that reads no file into the document never
  // pays for a table).
  std::shared_ptr<LoadedUpload> shown_;
  view::GridLayout grid_;
  view::InfoLabels labels_;
};

}  // namespace kestrand::app
