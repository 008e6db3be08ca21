// Runs a program of the build (vantor-host) as a user would: with arguments, a folder to run in,
// standard input from a file or a pipe fed slowly or without end, standard output to a file (appended to), a full device, a pipe no
// one reads or nowhere, limits on the size of the files it writes and on its memory, a signal in the
// middle of its work, and a time limit.
#pragma once

#include <cstddef>
#include <filesystem>
#include <string>
#include <vector>

enum class StandardOutput { File, Full, Closed, BrokenPipe };

struct Outcome {
  int status = -1;  // the exit status; 128 + the signal when one ended it; -1 when it did not end in time
  std::string out;  // standard output (StandardOutput::File)
  std::string err;  // standard error
  bool awaitedMade = false;  // Invocation::awaited was there while the program ran
};

struct Invocation {
  std::filesystem::path program;
  std::vector<std::string> arguments;  // UTF-8
  std::filesystem::path folder;        // where it runs; its output files are kept there too
  std::filesystem::path input;         // standard input; empty for none
  StandardOutput output = StandardOutput::File;
  size_t fileSizeLimit = 0;            // the largest a file may grow by its writes (POSIX); 0 for none
  size_t memoryLimit = 0;              // the most address space it may take (POSIX); 0 for none
  std::string outputBefore;            // standard output's file holds this, and is appended to (File)
  // a signal sent as soon as a file whose name begins with .vantor- is in the folder, or after
  // signalAfter milliseconds (POSIX); 0 for none
  int signal = 0;
  int signalAfter = 0;
  int seconds = 120;                   // then it is killed
  // standard input from a pipe instead (POSIX), when not empty: feed written once, or again and
  // again for as long as the program reads (endlessFeed); then the pipe is held open
  std::string feed;
  bool endlessFeed = false;
  // a file in folder the program makes as it runs: until it is there (at most awaitSeconds) the
  // pipe is held open and the signal held back; after it, the pipe is closed unless a signal is sent
  std::string awaited;
  int awaitSeconds = 10;
  std::filesystem::path temporary;  // TMPDIR, when not empty (POSIX)
};

Outcome RunProgram(const Invocation& invocation);

// Whether a process whose arguments hold word is running (Linux; elsewhere false): a worker of a
// run that has ended.
bool ProcessRunningWith(const std::string& word);

// The folder of the running test program, where the build puts vantor-host as well.
std::filesystem::path ProgramFolder();
