// A worker of a run of many molecules: this program started again, whose standard output the run
// reads a line at a time.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace vantorcli {

class WorkerProcess {
 public:
  WorkerProcess() = default;
  ~WorkerProcess();  // one still running is stopped
  WorkerProcess(const WorkerProcess&) = delete;
  WorkerProcess& operator=(const WorkerProcess&) = delete;

  // program with the arguments (after its own name), its standard error the run's; false with the reason.
  bool Start(const std::filesystem::path& program, const std::vector<std::string>& arguments, std::string* error);
  // The next line it wrote, without its line end; false at the end of what it writes.
  bool ReadLine(std::string* line);
  // Waits for it to end: its exit status, 128 + the signal that ended it, or -1.
  int Wait();

 private:
  void Stop();
  // Bytes of its output into bytes, as many as are there (at most size); 0 at its end, -1 on an error.
  long ReadSome(char* bytes, size_t size);
#if defined(_WIN32)
  void* process_ = nullptr;
  void* output_ = nullptr;
#else
  int process_ = -1;
  int output_ = -1;
#endif
  std::string buffer_;
  size_t start_ = 0;
  bool ended_ = false;
};

// This program's own file.
std::filesystem::path ProgramFile(const char* argv0);

// Whether standard error is a terminal (a progress line is shown there).
bool StandardErrorIsATerminal();

// Standard input and output as bytes, with no line ends changed (Windows).
void UseBinaryStandardStreams();

}  // namespace vantorcli
