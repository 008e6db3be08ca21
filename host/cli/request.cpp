// The run's request: what it asks of the inputs.
#include "request.h"

#include <algorithm>
#include <cctype>
#include <filesystem>

namespace vantorcli {

bool RunRequest::AnyOutput() const {
  return std::any_of(outputs.begin(), outputs.end(), [](const std::string& name) { return !name.empty(); });
}

bool IsMolFile(const std::string& input) {
  std::string suffix = std::filesystem::u8path(input).extension().u8string();
  for (char& c : suffix) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return input != "-" && suffix == ".mol";
}

bool Several(const RunRequest& request) {
  uint64_t most = 0;
  for (const std::string& input : request.inputs) {
    most += IsMolFile(input) ? 1 : request.records.Several() ? 2 : 1;
  }
  return most > 1;
}

int ExitStatus(vthost::ConversionStatus status) {
  switch (status) {
    case vthost::ConversionStatus::Converted:
      return kDone;
    case vthost::ConversionStatus::NotLoaded:
      return kMoleculeNotLoaded;
    case vthost::ConversionStatus::Failed:
      break;
  }
  return kFailed;
}

}  // namespace vantorcli
