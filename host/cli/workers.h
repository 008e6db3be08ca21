// A worker of a run of many molecules: this program started again, whose standard output the run
// reads a line at a time.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <streambuf>
#include <string>
#include <string_view>
#include <vector>

#include "vthost/files.h"

namespace vantorcli {

// The writing end of a worker's standard input, which the run hands records through; closed when
// it goes.
class WorkerInput {
 public:
  WorkerInput() = default;
  ~WorkerInput();
  WorkerInput(WorkerInput&& other) noexcept : end_(other.end_) { other.end_ = kNone; }
  WorkerInput& operator=(WorkerInput&&) = delete;
  WorkerInput(const WorkerInput&) = delete;
  WorkerInput& operator=(const WorkerInput&) = delete;

  // false when the worker reads no more (it ended).
  bool Write(std::string_view bytes);

 private:
  friend class WorkerProcess;
  static constexpr std::intptr_t kNone = -1;
  std::intptr_t end_ = kNone;  // a descriptor, or a Windows HANDLE
};

class WorkerProcess {
 public:
  WorkerProcess() = default;
  ~WorkerProcess();  // one still running is stopped
  WorkerProcess(const WorkerProcess&) = delete;
  WorkerProcess& operator=(const WorkerProcess&) = delete;

  // program with the arguments (after its own name), its standard error the run's; its standard
  // input the run's, or a pipe whose writing end goes to *input when input is not null. It ends
  // with the run however the run ends. false with the reason.
  bool Start(const std::filesystem::path& program, const std::vector<std::string>& arguments, WorkerInput* input,
             std::string* error);
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
  std::unique_ptr<vthost::StoppedOnSignals> onSignals_;  // until it is waited for
  std::string buffer_;
  size_t start_ = 0;
  bool ended_ = false;
};

// Standard input read straight from the system a chunk at a time. Before a read that would wait for
// more, waiting() is called (outputs held back are put in place then); each chunk read is handed to
// copy() as well, when set.
class StandardInputBuffer : public std::streambuf {
 public:
  std::function<void()> waiting;
  std::function<void(std::string_view)> copy;

 protected:
  int_type underflow() override;

 private:
  static constexpr size_t kBytes = 65536;
  char bytes_[kBytes];
};

// While it lives, the signals that end the run are held back from this thread and from the threads
// it starts (POSIX): started so, a thread leaves them to the main thread, and the handler runs
// while nothing else of the run makes a file.
class EndingSignalsHeld {
 public:
  EndingSignalsHeld();
  ~EndingSignalsHeld();
  EndingSignalsHeld(const EndingSignalsHeld&) = delete;
  EndingSignalsHeld& operator=(const EndingSignalsHeld&) = delete;

 private:
  alignas(std::max_align_t) unsigned char before_[256];  // the thread's signal mask before, as the system keeps it
};

// A worker ends when the run that started it ends: run is the run's process. On Linux even when
// the run is killed; elsewhere, when its standard input ends while the run takes no records through
// it (handed, a worker notices the run's end when its standard input ends, or its lines go unread).
void EndWithRun(unsigned long run, bool handedStandardInput);

// This process's id, which its workers are given.
unsigned long ThisProcess();

// This program's own file.
std::filesystem::path ProgramFile(const char* argv0);

// Whether standard error is a terminal (a progress line is shown there).
bool StandardErrorIsATerminal();

// Standard input and output as bytes, with no line ends changed (Windows).
void UseBinaryStandardStreams();

}  // namespace vantorcli
