// vantor-host's telling: lines on standard error, the progress line, the manifest and the summary.
#include "status.h"

#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <system_error>

#include "vthost/collection.h"
#include "workers.h"

namespace vantorcli {
namespace {

namespace fs = std::filesystem;

// The progress line is drawn at most this often.
constexpr std::chrono::milliseconds kProgressInterval{100};

// How many molecules the run will convert, for the progress line: 0 when it cannot tell (standard input).
uint64_t CountMolecules(const RunRequest& request) {
  uint64_t total = 0;
  for (const std::string& input : request.inputs) {
    if (input == "-") return 0;
    std::error_code failure;
    if (!fs::is_regular_file(fs::u8path(input), failure)) {  // a FIFO is read once, by the run
      total += 1;
      continue;
    }
    std::ifstream in(fs::u8path(input), std::ios::binary);
    vthost::RecordReader reader(in, IsMolFile(input));
    vthost::Record record;
    uint64_t records = 0;
    while (records < request.records.last && reader.Next(&record, false)) ++records;
    total += records >= request.records.first ? records - request.records.first + 1 : 0;
  }
  return total;
}

}  // namespace

void Error(const std::string& text) { std::cerr << "vantor-host: " << text << "\n"; }

bool StandardOutputFlushed(const std::string& what, std::string* error) {
  if (std::cout.flush()) return true;
  *error = "cannot write " + what + " to standard output" +
           (errno != 0 ? ": " + std::generic_category().message(errno) : std::string());
  return false;
}

bool WriteStandardOutput(const vthost::Pieces& bytes, const std::string& what, std::string* error) {
  errno = 0;
  for (const std::string_view piece : bytes) std::cout.write(piece.data(), static_cast<std::streamsize>(piece.size()));
  return StandardOutputFlushed(what, error);
}

void Outcome::Fail(int failed, const std::string& text) {
  if (message.empty()) message = text;
  status = failed;
  lines.emplace_back(true, label + ": " + text);
}

void Outcome::Note(const std::string& text) { lines.emplace_back(false, label + ": " + text); }

Json ManifestLine(const Outcome& o) {
  Json line = {{"input", o.input}, {"record", o.record}, {"title", o.title}, {"atoms", o.atoms},
               {"bonds", o.bonds}, {"outputs", o.outputs}, {"status", o.status == kDone ? "converted" : "failed"}};
  if (o.status != kDone) line["message"] = o.message;
  if (o.detail) {
    line["detail"] = {{"segments", o.detail->segments}, {"subdivisions", o.detail->subdivisions},
                      {"triangles", o.detail->triangles}};
  }
  return line;
}

std::string Dumped(const Json& json) { return json.dump(-1, ' ', false, Json::error_handler_t::replace); }

Results::Results(const RunRequest& request, bool several, const vthost::RunFiles& files)
    : request_(request), several_(several), start_(Clock::now()) {
  progress_ = several && !request.quiet && StandardErrorIsATerminal();
  if (progress_) total_ = CountMolecules(request);
  if (!request.manifest.empty() && request.manifest != "-") {
    std::string error;
    if (!vthost::MayReplaceWith(fs::u8path(request.manifest), "{", "manifest", &error) ||
        !manifest_.Open(files, fs::u8path(request.manifest), &error)) {
      manifestError_ = error;
    }
  }
}

void Results::Add(const Outcome& o) {
  ClearProgress();
  for (const auto& [error, text] : o.lines) {
    if (error || !request_.quiet) Error(text);
  }
  ++(o.status == kDone ? converted_ : failed_);
  if (o.status == kMoleculeNotLoaded) notLoaded_ = true;
  if (o.status == kFailed) otherwise_ = true;
  if (!request_.manifest.empty()) {
    const std::string line = Dumped(ManifestLine(o)) + "\n";
    std::string error;
    if (request_.manifest == "-" && !WriteStandardOutput({line}, "the manifest", &error) && manifestError_.empty()) {
      manifestError_ = error;
    }
    if (request_.manifest != "-") manifest_.Append(line);
  }
  DrawProgress();
}

int Results::Finish() {
  ClearProgress();
  if (!request_.manifest.empty() && request_.manifest != "-" && manifestError_.empty()) {
    std::string error;
    if (!manifest_.Finish(&error)) manifestError_ = error;
  }
  if (!manifestError_.empty()) Error(manifestError_);
  if (several_) {
    const double seconds = std::chrono::duration<double>(Clock::now() - start_).count();
    char summary[160];
    std::snprintf(summary, sizeof summary, "%llu molecules converted, %llu failed in %.2f s",
                  static_cast<unsigned long long>(converted_), static_cast<unsigned long long>(failed_), seconds);
    std::cerr << summary << "\n";
  }
  if (notLoaded_) return kMoleculeNotLoaded;
  return otherwise_ || !manifestError_.empty() ? kFailed : kDone;
}

void Results::DrawProgress() {
  if (!progress_) return;
  const Clock::time_point now = Clock::now();
  if (now - drawn_ < kProgressInterval) return;
  drawn_ = now;
  const uint64_t done = converted_ + failed_;
  const double seconds = std::chrono::duration<double>(now - start_).count();
  const double rate = seconds > 0 ? static_cast<double>(done) / seconds : 0;
  char line[160];
  if (total_ > 0 && rate > 0) {
    std::snprintf(line, sizeof line, "%llu/%llu molecules, %.1f a second, %.0f s left",
                  static_cast<unsigned long long>(done), static_cast<unsigned long long>(total_), rate,
                  static_cast<double>(total_ > done ? total_ - done : 0) / rate);
  } else {
    std::snprintf(line, sizeof line, "%llu molecules, %.1f a second", static_cast<unsigned long long>(done), rate);
  }
  std::cerr << "\r" << line << "\x1b[K" << std::flush;
  shown_ = true;
}

void Results::ClearProgress() {
  if (shown_) std::cerr << "\r\x1b[K" << std::flush;
  shown_ = false;
}

}  // namespace vantorcli
