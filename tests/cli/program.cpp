// Running a program with its standard streams redirected: fork and exec, or CreateProcessW.
// VANTOR_PROGRAM_EMULATOR, when defined, names the emulator that runs the build's programs (qemu-user
// for the arm64 Linux build), which the program is started through.
#include "program.h"

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdint>
#include <cstring>
#include <fstream>
#include <thread>

#include "files.h"

#if defined(_WIN32)
#define WIN32_LEAN_AND_MEAN
#include <windows.h>
#else
#include <fcntl.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
extern char** environ;
#endif
#if defined(__APPLE__)
#include <mach-o/dyld.h>
#endif

namespace fs = std::filesystem;

namespace {

#if defined(_WIN32)

std::wstring Wide(const std::string& text) { return fs::u8path(text).wstring(); }

// One argument as the C runtime's command line parser reads it back.
std::wstring Quote(const std::wstring& argument) {
  if (!argument.empty() && argument.find_first_of(L" \t\n\v\"") == std::wstring::npos) return argument;
  std::wstring quoted = L"\"";
  for (auto it = argument.begin();; ++it) {
    size_t backslashes = 0;
    while (it != argument.end() && *it == L'\\') ++it, ++backslashes;
    if (it == argument.end()) {
      quoted.append(backslashes * 2, L'\\');
      break;
    }
    quoted.append(*it == L'"' ? backslashes * 2 + 1 : backslashes, L'\\');
    quoted.push_back(*it);
  }
  quoted.push_back(L'"');
  return quoted;
}

HANDLE Inheritable(const fs::path& file, DWORD access, DWORD disposition) {
  SECURITY_ATTRIBUTES attributes{sizeof attributes, nullptr, TRUE};
  return CreateFileW(file.wstring().c_str(), access, FILE_SHARE_READ | FILE_SHARE_WRITE, &attributes, disposition,
                     FILE_ATTRIBUTE_NORMAL, nullptr);
}

int Spawn(const Invocation& invocation, const fs::path& out, const fs::path& err, bool*) {
  std::wstring command = Quote(invocation.program.wstring());
  for (const std::string& argument : invocation.arguments) command += L" " + Quote(Wide(argument));
  const fs::path inputFile = invocation.input.empty() ? fs::path(L"NUL") : invocation.input;
  HANDLE input = Inheritable(inputFile, GENERIC_READ, OPEN_EXISTING);
  HANDLE output = Inheritable(out, GENERIC_WRITE, CREATE_ALWAYS);
  HANDLE error = Inheritable(err, GENERIC_WRITE, CREATE_ALWAYS);
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = input;
  startup.hStdOutput = output;
  startup.hStdError = error;
  PROCESS_INFORMATION process{};
  const std::wstring folder = invocation.folder.wstring();
  const BOOL created = CreateProcessW(invocation.program.wstring().c_str(), command.data(), nullptr, nullptr, TRUE, 0,
                                      nullptr, folder.c_str(), &startup, &process);
  const DWORD reason = GetLastError();
  for (HANDLE handle : {input, output, error}) {
    if (handle != INVALID_HANDLE_VALUE) CloseHandle(handle);
  }
  if (!created) {
    // said where the test shows the program's standard error, so a failure tells why
    std::ofstream(err, std::ios::app) << "the test could not start the program: CreateProcessW error " << reason
                                      << (output == INVALID_HANDLE_VALUE || error == INVALID_HANDLE_VALUE
                                              ? " (an output file could not be made)"
                                              : "")
                                      << "\n";
    return -1;
  }
  int status = -1;
  if (WaitForSingleObject(process.hProcess, static_cast<DWORD>(invocation.seconds) * 1000) == WAIT_OBJECT_0) {
    DWORD code = 0;
    if (GetExitCodeProcess(process.hProcess, &code)) status = static_cast<int>(code);
  } else {
    TerminateProcess(process.hProcess, 1);
    WaitForSingleObject(process.hProcess, INFINITE);
  }
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  return status;
}

#else

// Whether a new file of vantor-host's lies in folder, not yet in place.
bool WritingBeside(const fs::path& folder) {
  std::error_code failure;
  for (auto entry = fs::directory_iterator(folder, failure); !failure && entry != fs::directory_iterator();
       entry.increment(failure)) {
    if (entry->path().filename().string().rfind(".vantor-", 0) == 0) return true;
  }
  return false;
}

// Standard input fed through a pipe from a thread of its own, which never waits for the program:
// a write that would wait is tried again until the pipe is closed.
class Feeder {
 public:
  Feeder(const int ends[2], const Invocation& invocation) : end_(ends[1]) {
    if (ends[0] < 0) return;
    close(ends[0]);
    fcntl(end_, F_SETFL, O_NONBLOCK);
    signal(SIGPIPE, SIG_IGN);  // a program that stops reading is a write that fails
    writer_ = std::thread([this, &invocation] {
      Feed(invocation.feed, invocation.endlessFeed);
      fed_ = true;
    });
  }
  ~Feeder() { Close(); }
  // Whether all that is fed was written (or no one reads any more).
  bool Fed() const { return fed_; }
  void Close() {
    stop_ = true;
    if (writer_.joinable()) writer_.join();
    if (end_ >= 0) close(end_);
    end_ = -1;
  }

 private:
  void Feed(const std::string& feed, bool endless) {
    do {
      for (size_t at = 0; at < feed.size() && !stop_;) {
        const ssize_t written = write(end_, feed.data() + at, feed.size() - at);
        if (written > 0) {
          at += static_cast<size_t>(written);
        } else if (errno == EAGAIN || errno == EINTR) {
          std::this_thread::sleep_for(std::chrono::milliseconds(1));
        } else {
          return;  // no one reads any more
        }
      }
    } while (endless && !stop_);
  }
  int end_;
  std::atomic<bool> stop_{false}, fed_{false};
  std::thread writer_;
};

int Spawn(const Invocation& invocation, const fs::path& out, const fs::path& err, bool* awaitedMade) {
  // everything the child needs is made before the fork: after it only system calls
#if defined(VANTOR_PROGRAM_EMULATOR)
  const std::string program = VANTOR_PROGRAM_EMULATOR;
  std::vector<std::string> words{program, invocation.program.string()};
#else
  const std::string program = invocation.program.string();
  std::vector<std::string> words{program};
#endif
  words.insert(words.end(), invocation.arguments.begin(), invocation.arguments.end());
  std::vector<char*> argv;
  for (std::string& word : words) argv.push_back(word.data());
  argv.push_back(nullptr);
  const std::string folder = invocation.folder.string();
  const std::string input = invocation.input.empty() ? "/dev/null" : invocation.input.string();
  const std::string output = invocation.output == StandardOutput::Full ? "/dev/full" : out.string();
  const std::string errors = err.string();
  const bool closed = invocation.output == StandardOutput::Closed;
  // a pipe whose reading end is closed before the program starts, so every write finds no reader
  int pipeEnds[2] = {-1, -1};
  if (invocation.output == StandardOutput::BrokenPipe && (pipe(pipeEnds) != 0 || close(pipeEnds[0]) != 0)) return -1;
  std::vector<std::string> variables;
  for (char** variable = environ; *variable != nullptr; ++variable) {
    if (invocation.temporary.empty() || std::strncmp(*variable, "TMPDIR=", 7) != 0) variables.push_back(*variable);
  }
  if (!invocation.temporary.empty()) variables.push_back("TMPDIR=" + invocation.temporary.string());
  std::vector<char*> envp;
  for (std::string& variable : variables) envp.push_back(variable.data());
  envp.push_back(nullptr);
  int feedEnds[2] = {-1, -1};
  const bool fed = !invocation.feed.empty();
  if (fed && pipe(feedEnds) != 0) return -1;
  if (fed) fcntl(feedEnds[1], F_SETFD, FD_CLOEXEC);
  const rlimit fileSize{invocation.fileSizeLimit, invocation.fileSizeLimit};
  const rlimit memory{invocation.memoryLimit, invocation.memoryLimit};
  const bool append = !invocation.outputBefore.empty();
  if (append) WriteFile(out, invocation.outputBefore);

  const pid_t child = fork();
  if (child < 0) return -1;
  if (child == 0) {
    const int in = fed ? feedEnds[0] : open(input.c_str(), O_RDONLY);
    const int to = closed            ? -1
                   : pipeEnds[1] >= 0 ? pipeEnds[1]
                                      : open(output.c_str(), O_WRONLY | O_CREAT | (append ? O_APPEND : O_TRUNC), 0644);
    const int error = open(errors.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (in < 0 || error < 0 || (!closed && to < 0) || chdir(folder.c_str()) != 0) _exit(126);
    dup2(in, STDIN_FILENO);
    if (closed) {
      close(STDOUT_FILENO);
    } else {
      dup2(to, STDOUT_FILENO);
    }
    dup2(error, STDERR_FILENO);
    signal(SIGPIPE, SIG_DFL);  // as a shell starts a program: a write to the pipe ends it, unless it says otherwise
    // a write past the limit ends the program with SIGXFSZ, unless it says otherwise
    signal(SIGXFSZ, SIG_DFL);
    if (invocation.fileSizeLimit > 0 && setrlimit(RLIMIT_FSIZE, &fileSize) != 0) _exit(126);
    if (invocation.memoryLimit > 0 && setrlimit(RLIMIT_AS, &memory) != 0) _exit(126);
    execve(program.c_str(), argv.data(), envp.data());
    _exit(127);
  }
  if (pipeEnds[1] >= 0) close(pipeEnds[1]);
  Feeder feeder(feedEnds, invocation);
  const auto start = std::chrono::steady_clock::now();
  const auto deadline = start + std::chrono::seconds(invocation.seconds);
  const auto awaitEnd = start + std::chrono::seconds(invocation.awaitSeconds);
  bool signalled = invocation.signal == 0;
  int status = 0;
  while (waitpid(child, &status, WNOHANG) == 0) {
    const auto now = std::chrono::steady_clock::now();
    if (!invocation.awaited.empty() && !*awaitedMade && now <= awaitEnd) {
      *awaitedMade = fs::exists(invocation.folder / invocation.awaited);
    }
    const bool awaitOver = invocation.awaited.empty() || *awaitedMade || now > awaitEnd;
    if (awaitOver && invocation.signal == 0 && feeder.Fed()) feeder.Close();
    const bool due = invocation.awaited.empty() ? now > start + std::chrono::milliseconds(invocation.signalAfter) ||
                                                      WritingBeside(invocation.folder)
                                                : awaitOver;
    if (!signalled && due) {
      kill(child, invocation.signal);
      signalled = true;
    }
    if (now > deadline) {
      kill(child, SIGKILL);
      waitpid(child, &status, 0);
      return -1;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  if (WIFEXITED(status)) return WEXITSTATUS(status);
  return WIFSIGNALED(status) ? 128 + WTERMSIG(status) : -1;
}

#endif

}  // namespace

Outcome RunProgram(const Invocation& invocation) {
  const fs::path out = invocation.folder / "stdout.txt";
  const fs::path err = invocation.folder / "stderr.txt";
  Outcome outcome;
  outcome.status = Spawn(invocation, out, err, &outcome.awaitedMade);
  if (invocation.output == StandardOutput::File) outcome.out = ReadFile(out);
  outcome.err = ReadFile(err);
  return outcome;
}

bool ProcessRunningWith(const std::string& word) {
#if defined(__linux__)
  std::error_code failure;
  for (auto entry = fs::directory_iterator("/proc", failure); !failure && entry != fs::directory_iterator();
       entry.increment(failure)) {
    // a process that ends while it is read fails the read (ESRCH): it is not running
    const int file = open((entry->path() / "cmdline").c_str(), O_RDONLY | O_CLOEXEC);
    if (file < 0) continue;
    std::string arguments;
    char chunk[4096];
    for (ssize_t got; (got = read(file, chunk, sizeof chunk)) > 0;) arguments.append(chunk, static_cast<std::size_t>(got));
    close(file);
    if (arguments.find(word) != std::string::npos) return true;
  }
#else
  (void)word;
#endif
  return false;
}

fs::path ProgramFolder() {
#if defined(_WIN32)
  wchar_t buffer[32768];
  const DWORD length = GetModuleFileNameW(nullptr, buffer, 32768);
  return fs::path(std::wstring(buffer, length)).parent_path();
#elif defined(__APPLE__)
  std::uint32_t size = 0;
  _NSGetExecutablePath(nullptr, &size);  // says the size it needs
  std::string buffer(size, '\0');
  if (_NSGetExecutablePath(buffer.data(), &size) != 0) return {};
  // the path the program was started by, which may hold symbolic links and ".."
  return fs::canonical(buffer.c_str()).parent_path();
#else
  return fs::read_symlink("/proc/self/exe").parent_path();
#endif
}
