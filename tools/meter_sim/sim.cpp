#include "tools/meter_sim/sim.h"

#include <optional>
#include <stdexcept>

#include "tools/meter_sim/expected_files.h"
#include "tools/meter_sim/options.h"
#include "tools/meter_sim/serial_line.h"
#include "tools/meter_sim/session.h"
#include "tools/meter_sim/upload.h"

namespace kestrand::meter_sim {

namespace {

// Warnings about uploads that the receiver cannot take whole.
void warnAboutPlan(const Options& o, const std::vector<PlannedMessage>& plan, std::ostream& err) {
  for (std::size_t k = 0; k < plan.size(); ++k) {
    const std::size_t size = encodeFrame(plan[k].type, plan[k].body, plan[k].terminator).size();
    if (size > kReceiverFrameLimit) {
      err << "meter-sim: warning: message " << k << " is " << size
          << " bytes on the line; the receiver holds at most " << kReceiverFrameLimit
          << " (fewer --records-per-message)\n";
      break;
    }
  }
  if (recordSize(o.upload) == 2 && o.upload.records > 0) {
    err << "meter-sim: note: records of two bytes: the receiver skips the last record of "
           "each data message\n";
  } else if (o.upload.moveAve != 0 && o.upload.columns == 0 && o.upload.records > 0) {
    err << "meter-sim: note: the moving average ends each record: the receiver skips it in "
           "the last record of each data message\n";
  }
}

}  // namespace

int runSim(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  const ParsedOptions parsed = parseOptions(args);
  if (!parsed.error.empty()) {
    err << "kestrand-meter-sim: " << parsed.error << '\n';
    return kExitUsage;
  }
  const Options& o = parsed.options;
  if (o.help) {
    out << helpText();
    return kExitOk;
  }
  try {
    const std::vector<Record> records = makeRecords(o.upload);
    const std::vector<PlannedMessage> plan = planUpload(o.upload, records);
    const std::size_t last = plan.size() - 1;
    if (o.session.badChecksum > last || o.session.pauseBefore > last) {
      err << "kestrand-meter-sim: the upload has messages 0 to " << last << " only\n";
      return kExitUsage;
    }
    warnAboutPlan(o, plan, err);
    if (!o.expectDir.empty() && !o.session.noHeader) {
      // Fail early when the files cannot be derived at all.
      expectedFiles(o.upload, records, plan, 1);
    }

    SerialLine line =
        o.linkPath.empty() ? SerialLine::openDevice(o.devicePath) : SerialLine::openPty(o.linkPath);
    out << line.deviceName() << '\n';
    if (!o.linkPath.empty()) out << "link: " << o.linkPath << " -> " << line.deviceName() << '\n';
    out.flush();

    const SessionReport report = runSession(line, plan, o.session, out);
    printSummary(report, out);

    if (!o.expectDir.empty()) {
      if (o.session.noHeader) {
        out << "expected files: none (no header sent)\n";
      } else {
        // What was acknowledged, and nothing else: refused messages leave no line behind.
        const std::size_t limit = report.acknowledged;
        const auto files = expectedFiles(o.upload, records, plan, limit);
        writeExpectedFiles(o.expectDir, files);
        out << "expected files: " << files.size() << " in " << o.expectDir << '\n';
      }
    }
    return report.ok() ? kExitOk : kExitProtocol;
  } catch (const std::exception& e) {
    err << "kestrand-meter-sim: " << e.what() << '\n';
    return kExitUsage;
  }
}

}  // namespace kestrand::meter_sim
