// Workers as processes of this program, on POSIX (posix_spawn and pipes) and on Windows
// (CreateProcess, pipes and a job), and what the program asks of its own process.
#include "workers.h"

#include <csignal>
#include <system_error>
#include <thread>

#if defined(_WIN32)
#define WIN32_LEAN_AND_MEAN
#include <fcntl.h>
#include <io.h>
#include <windows.h>
#else
#include <csignal>
#include <cerrno>
#include <fcntl.h>
#include <poll.h>
#include <pthread.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>
extern char** environ;
#if defined(__linux__)
#include <sys/prctl.h>
#endif
#if defined(__APPLE__)
#include <mach-o/dyld.h>
#endif
#endif

namespace vantorcli {
namespace {

namespace fs = std::filesystem;

constexpr size_t kReadBytes = 65536;

#if defined(_WIN32)
std::wstring Wide(const std::string& utf8) {
  const int length = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
  std::wstring wide(static_cast<size_t>(length), L'\0');
  if (length > 0) MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), wide.data(), length);
  return wide;
}

// One argument as CommandLineToArgvW reads it back: quoted, with the backslashes before a quote doubled.
std::wstring Quoted(const std::wstring& argument) {
  if (!argument.empty() && argument.find_first_of(L" \t\n\v\"") == std::wstring::npos) return argument;
  std::wstring quoted = L"\"";
  size_t backslashes = 0;
  for (const wchar_t c : argument) {
    if (c == L'\\') {
      ++backslashes;
      continue;
    }
    quoted.append(c == L'"' ? backslashes * 2 + 1 : backslashes, L'\\');
    backslashes = 0;
    quoted += c;
  }
  quoted.append(backslashes * 2, L'\\');
  return quoted + L"\"";
}
#endif

#if defined(_WIN32)
long ReadStandardInput(char* bytes, size_t size) { return _read(0, bytes, static_cast<unsigned>(size)); }

// Not through the C runtime, which holds its descriptor's lock while a read waits: setting
// standard input binary in the main thread would wait for ever.
void AwaitEndOfStandardInput() {
  const HANDLE input = GetStdHandle(STD_INPUT_HANDLE);
  char byte;
  DWORD read = 0;
  while (ReadFile(input, &byte, 1, &read, nullptr) && read > 0) {
  }
}

bool StandardInputWouldWait() {
  const HANDLE input = GetStdHandle(STD_INPUT_HANDLE);
  DWORD waiting = 0;
  return GetFileType(input) == FILE_TYPE_PIPE && PeekNamedPipe(input, nullptr, 0, nullptr, &waiting, nullptr) &&
         waiting == 0;
}

// Every worker is in one job that ends them when the run's handle to it closes, which the system
// does however the run ends.
HANDLE WorkersJob() {
  static const HANDLE job = [] {
    const HANDLE made = CreateJobObjectW(nullptr, nullptr);
    JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits{};
    limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE;
    if (made != nullptr) SetInformationJobObject(made, JobObjectExtendedLimitInformation, &limits, sizeof limits);
    return made;
  }();
  return job;
}
#else
long ReadStandardInput(char* bytes, size_t size) {
  for (;;) {
    const ssize_t read = ::read(STDIN_FILENO, bytes, size);
    if (read >= 0 || errno != EINTR) return static_cast<long>(read);
  }
}

void AwaitEndOfStandardInput() {
  char byte;
  while (ReadStandardInput(&byte, 1) > 0) {
  }
}

bool StandardInputWouldWait() {
  pollfd input{STDIN_FILENO, POLLIN, 0};
  return poll(&input, 1, 0) == 0;
}
#endif

}  // namespace

// The system ends this worker when the run that started it ends, where it can.
void EndWithParent(unsigned long run);
// A signal that ends the run, sent to the whole process.
void EndThisProcess();

StandardInputBuffer::int_type StandardInputBuffer::underflow() {
  if (gptr() < egptr()) return traits_type::to_int_type(*gptr());
  if (waiting && StandardInputWouldWait()) waiting();
  const long read = ReadStandardInput(bytes_, kBytes);
  if (read <= 0) return traits_type::eof();
  if (copy) copy(std::string_view(bytes_, static_cast<size_t>(read)));
  setg(bytes_, bytes_, bytes_ + read);
  return traits_type::to_int_type(*gptr());
}

void EndWithRun(unsigned long run, bool handedStandardInput) {
  EndWithParent(run);
  if (handedStandardInput) return;
  // the run holds the other end of this standard input and writes nothing: it ends when the run does
  const EndingSignalsHeld held;
  std::thread([] {
    AwaitEndOfStandardInput();
    EndThisProcess();
  }).detach();
}

WorkerProcess::~WorkerProcess() { Stop(); }

bool WorkerProcess::ReadLine(std::string* line) {
  for (;;) {
    const size_t end = buffer_.find('\n', start_);
    if (end != std::string::npos) {
      line->assign(buffer_, start_, end - start_);
      start_ = end + 1;
      return true;
    }
    if (ended_) return false;
    buffer_.erase(0, start_);
    start_ = 0;
    char chunk[kReadBytes];
    const long read = ReadSome(chunk, sizeof chunk);
    if (read <= 0) {
      ended_ = true;
    } else {
      buffer_.append(chunk, static_cast<size_t>(read));
    }
  }
}

#if defined(_WIN32)
WorkerInput::~WorkerInput() {
  if (end_ != kNone) CloseHandle(reinterpret_cast<HANDLE>(end_));
}

bool WorkerInput::Write(std::string_view bytes) {
  while (!bytes.empty() && end_ != kNone) {
    DWORD written = 0;
    if (!WriteFile(reinterpret_cast<HANDLE>(end_), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) ||
        written == 0) {
      CloseHandle(reinterpret_cast<HANDLE>(end_));
      end_ = kNone;
    }
    bytes.remove_prefix(written);
  }
  return end_ != kNone;
}

bool WorkerProcess::Start(const fs::path& program, const std::vector<std::string>& arguments, WorkerInput* input,
                          std::string* error) {
  SECURITY_ATTRIBUTES inherited{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
  HANDLE read = nullptr, write = nullptr, inputRead = GetStdHandle(STD_INPUT_HANDLE), inputWrite = nullptr;
  // Windows' pipes hold 4 KB unless asked for more: a worker given a chunk of standard input must be
  // able to write the lines of its records while the run waits for another worker's, and the run's
  // pump must hand a whole chunk on.
  constexpr DWORD kRoom = 1 << 20;
  if (!CreatePipe(&read, &write, &inherited, kRoom) || !SetHandleInformation(read, HANDLE_FLAG_INHERIT, 0) ||
      (input != nullptr && (!CreatePipe(&inputRead, &inputWrite, &inherited, kRoom) ||
                            !SetHandleInformation(inputWrite, HANDLE_FLAG_INHERIT, 0)))) {
    *error = "cannot start a worker: " + std::system_category().message(static_cast<int>(GetLastError()));
    return false;
  }
  std::wstring line = Quoted(program.wstring());
  for (const std::string& argument : arguments) line += L" " + Quoted(Wide(argument));
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = inputRead;
  startup.hStdOutput = write;
  startup.hStdError = GetStdHandle(STD_ERROR_HANDLE);
  PROCESS_INFORMATION started{};
  // started held until it is in the job, so that nothing of it runs outside
  const BOOL made = CreateProcessW(program.wstring().c_str(), line.data(), nullptr, nullptr, TRUE, CREATE_SUSPENDED,
                                   nullptr, nullptr, &startup, &started);
  const DWORD reason = GetLastError();
  CloseHandle(write);
  if (input != nullptr) CloseHandle(inputRead);
  if (!made) {
    CloseHandle(read);
    if (input != nullptr) CloseHandle(inputWrite);
    *error = "cannot start a worker: " + std::system_category().message(static_cast<int>(reason));
    return false;
  }
  if (WorkersJob() != nullptr) AssignProcessToJobObject(WorkersJob(), started.hProcess);
  ResumeThread(started.hThread);
  CloseHandle(started.hThread);
  if (input != nullptr) input->end_ = reinterpret_cast<std::intptr_t>(inputWrite);
  process_ = started.hProcess;
  output_ = read;
  return true;
}

long WorkerProcess::ReadSome(char* bytes, size_t size) {
  DWORD read = 0;
  if (!ReadFile(output_, bytes, static_cast<DWORD>(size), &read, nullptr)) return 0;
  return static_cast<long>(read);
}

int WorkerProcess::Wait() {
  if (process_ == nullptr) return -1;
  WaitForSingleObject(process_, INFINITE);
  DWORD status = 0;
  const bool known = GetExitCodeProcess(process_, &status) != 0;
  CloseHandle(process_);
  process_ = nullptr;
  return known ? static_cast<int>(status) : -1;
}

void WorkerProcess::Stop() {
  if (output_ != nullptr) CloseHandle(output_);
  output_ = nullptr;
  if (process_ == nullptr) return;
  TerminateProcess(process_, 1);
  Wait();
}

fs::path ProgramFile(const char* argv0) {
  wchar_t buffer[32768];
  const DWORD length = GetModuleFileNameW(nullptr, buffer, 32768);
  if (length > 0 && length < 32768) return fs::path(std::wstring(buffer, length));
  std::error_code ignored;
  return fs::absolute(fs::u8path(argv0), ignored);
}

void EndWithParent(unsigned long) {}  // the job ends it

void EndThisProcess() { std::raise(SIGTERM); }

// the C runtime's handler of Ctrl+C runs in a thread of its own anyway
EndingSignalsHeld::EndingSignalsHeld() : before_{} {}
EndingSignalsHeld::~EndingSignalsHeld() {}

unsigned long ThisProcess() { return GetCurrentProcessId(); }

bool StandardErrorIsATerminal() { return _isatty(_fileno(stderr)) != 0; }

void UseBinaryStandardStreams() {
  _setmode(_fileno(stdin), _O_BINARY);
  _setmode(_fileno(stdout), _O_BINARY);
}
#else
WorkerInput::~WorkerInput() {
  if (end_ != kNone) close(static_cast<int>(end_));
}

bool WorkerInput::Write(std::string_view bytes) {
  while (!bytes.empty() && end_ != kNone) {
    const ssize_t written = ::write(static_cast<int>(end_), bytes.data(), bytes.size());
    if (written < 0 && errno == EINTR) continue;
    if (written <= 0) {
      close(static_cast<int>(end_));
      end_ = kNone;
      break;
    }
    bytes.remove_prefix(static_cast<size_t>(written));
  }
  return end_ != kNone;
}

bool WorkerProcess::Start(const fs::path& program, const std::vector<std::string>& arguments, WorkerInput* input,
                          std::string* error) {
  int pipe[2], inputPipe[2] = {-1, -1};
  if (::pipe(pipe) != 0) {
    *error = "cannot start a worker: " + std::generic_category().message(errno);
    return false;
  }
  if (input != nullptr && ::pipe(inputPipe) != 0) {
    *error = "cannot start a worker: " + std::generic_category().message(errno);
    close(pipe[0]);
    close(pipe[1]);
    return false;
  }
  // no end is left open in a later worker (the ends this one is given reach it as its standard
  // input and output)
  for (const int end : {pipe[0], pipe[1], inputPipe[0], inputPipe[1]}) {
    if (end >= 0) fcntl(end, F_SETFD, FD_CLOEXEC);
  }
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, pipe[1], STDOUT_FILENO);
  if (input != nullptr) posix_spawn_file_actions_adddup2(&actions, inputPipe[0], STDIN_FILENO);
  std::vector<std::string> words{program.string()};
  words.insert(words.end(), arguments.begin(), arguments.end());
  std::vector<char*> argv;
  for (std::string& word : words) argv.push_back(word.data());
  argv.push_back(nullptr);
  pid_t process = -1;
  const int failure = posix_spawn(&process, program.c_str(), &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  close(pipe[1]);
  if (inputPipe[0] >= 0) close(inputPipe[0]);
  if (failure != 0) {
    close(pipe[0]);
    if (inputPipe[1] >= 0) close(inputPipe[1]);
    *error = "cannot start a worker: " + std::generic_category().message(failure);
    return false;
  }
  if (input != nullptr) input->end_ = inputPipe[1];
  process_ = process;
  onSignals_ = std::make_unique<vthost::StoppedOnSignals>(static_cast<unsigned long>(process));
  output_ = pipe[0];
  return true;
}

long WorkerProcess::ReadSome(char* bytes, size_t size) {
  for (;;) {
    const ssize_t read = ::read(output_, bytes, size);
    if (read >= 0 || errno != EINTR) return static_cast<long>(read);
  }
}

int WorkerProcess::Wait() {
  if (process_ < 0) return -1;
  onSignals_.reset();  // before its id is free to be another process's
  int status = 0;
  pid_t ended = -1;
  do {
    ended = waitpid(process_, &status, 0);
  } while (ended < 0 && errno == EINTR);
  process_ = -1;
  if (ended < 0) return -1;
  if (WIFSIGNALED(status)) return 128 + WTERMSIG(status);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

void WorkerProcess::Stop() {
  if (output_ >= 0) close(output_);
  output_ = -1;
  if (process_ < 0) return;
  kill(process_, SIGTERM);
  Wait();
}

fs::path ProgramFile(const char* argv0) {
  std::error_code error;
#if defined(__APPLE__)
  // a path to the program as it was started, perhaps through symbolic links
  uint32_t size = 0;
  _NSGetExecutablePath(nullptr, &size);
  std::string buffer(size, '\0');
  if (size > 0 && _NSGetExecutablePath(buffer.data(), &size) == 0) {
    const fs::path self = fs::canonical(buffer.c_str(), error);
    if (!error) return self;
  }
#else
  const fs::path self = fs::read_symlink("/proc/self/exe", error);
  if (!error) return self;
#endif
  return fs::absolute(fs::u8path(argv0), error);
}

// to the process, not to this thread: a thread that holds the signal back leaves it to another
void EndThisProcess() { kill(getpid(), SIGTERM); }

EndingSignalsHeld::EndingSignalsHeld() {
  static_assert(sizeof(sigset_t) <= sizeof before_, "a signal mask is larger than the room kept for it");
  sigset_t ending;
  sigemptyset(&ending);
  for (const int signal : {SIGINT, SIGTERM, SIGHUP, SIGQUIT}) sigaddset(&ending, signal);
  pthread_sigmask(SIG_BLOCK, &ending, reinterpret_cast<sigset_t*>(before_));
}

EndingSignalsHeld::~EndingSignalsHeld() { pthread_sigmask(SIG_SETMASK, reinterpret_cast<sigset_t*>(before_), nullptr); }

void EndWithParent(unsigned long run) {
#if defined(__linux__)
  prctl(PR_SET_PDEATHSIG, SIGTERM);  // SIGTERM, whose handler removes what the worker made
  // the run may have ended before that was asked: this worker was handed to another process then
  if (getppid() != static_cast<pid_t>(run)) raise(SIGTERM);
#else
  (void)run;
#endif
}

unsigned long ThisProcess() { return static_cast<unsigned long>(getpid()); }

bool StandardErrorIsATerminal() { return isatty(STDERR_FILENO) != 0; }

void UseBinaryStandardStreams() {}
#endif

}  // namespace vantorcli
