#pragma once
// The program's one error type: a numeric code and a description, as a message box shows them.

#include <cstdint>
#include <stdexcept>
#include <string>

namespace kestrand {

// Errors that carry a message-catalogue entry use this base plus the entry's index.
inline constexpr std::int32_t kCatalogueErrorBase = static_cast<std::int32_t>(0x80040000u);

// Codes for failures that do not come from the catalogue.
enum class ErrorKind : std::int32_t {
  kGeneral = 1,
  kFileNotFound = 53,
  kPermissionDenied = 70,
  kPathNotFound = 76,
  kIo = 57,
  kPortInUse = 8005,
  kPortOpenFailed = 8002,
  kIndexOutOfRange = 9,
  kTypeMismatch = 13,
  kOverflow = 6,
  kEndOfFile = 62,
};

class Error : public std::runtime_error {
 public:
  Error(std::int32_t code, const std::string& description)
      : std::runtime_error(description), code_(code) {}
  Error(ErrorKind kind, const std::string& description)
      : Error(static_cast<std::int32_t>(kind), description) {}

  std::int32_t code() const { return code_; }
  std::string description() const { return what(); }
  bool is(ErrorKind kind) const { return code_ == static_cast<std::int32_t>(kind); }

 private:
  std::int32_t code_;
};

}  // namespace kestrand
