#include "cli/receiver.h"

namespace kestrand::cli {

Receiver::Receiver(app::Platform p, std::string dataDir) : prog_(p, std::move(dataDir)) {
  prog_.link.onUploadEnded([this](link::UploadEnd) {
    ended_ = true;
    if (whenEnded_) whenEnded_();
  });
}

void Receiver::start(const std::string& device) {
  prog_.formats.GetDefault2();
  prog_.formats.GetDefault3();
  prog_.probes.InitProbeTable();
  prog_.p.port.open(device);
}

void Receiver::stop() {
  prog_.link.closeChannel();
  if (prog_.p.port.isOpen()) prog_.p.port.close();
}

}  // namespace kestrand::cli
