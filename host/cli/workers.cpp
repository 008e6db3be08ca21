// Workers as processes of this program, on POSIX (posix_spawn and a pipe) and on Windows
// (CreateProcess and a pipe), and what the program asks of its own process.
#include "workers.h"

#include <system_error>

#if defined(_WIN32)
#define WIN32_LEAN_AND_MEAN
#include <fcntl.h>
#include <io.h>
#include <windows.h>
#else
#include <csignal>
#include <cerrno>
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>
extern char** environ;
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

}  // namespace

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
bool WorkerProcess::Start(const fs::path& program, const std::vector<std::string>& arguments, std::string* error) {
  SECURITY_ATTRIBUTES inherited{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
  HANDLE read = nullptr, write = nullptr;
  if (!CreatePipe(&read, &write, &inherited, 0) || !SetHandleInformation(read, HANDLE_FLAG_INHERIT, 0)) {
    *error = "cannot start a worker: " + std::system_category().message(static_cast<int>(GetLastError()));
    return false;
  }
  std::wstring line = Quoted(program.wstring());
  for (const std::string& argument : arguments) line += L" " + Quoted(Wide(argument));
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
  startup.hStdOutput = write;
  startup.hStdError = GetStdHandle(STD_ERROR_HANDLE);
  PROCESS_INFORMATION started{};
  const BOOL made = CreateProcessW(program.wstring().c_str(), line.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr,
                                   &startup, &started);
  const DWORD reason = GetLastError();
  CloseHandle(write);
  if (!made) {
    CloseHandle(read);
    *error = "cannot start a worker: " + std::system_category().message(static_cast<int>(reason));
    return false;
  }
  CloseHandle(started.hThread);
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

bool StandardErrorIsATerminal() { return _isatty(_fileno(stderr)) != 0; }

void UseBinaryStandardStreams() {
  _setmode(_fileno(stdin), _O_BINARY);
  _setmode(_fileno(stdout), _O_BINARY);
}
#else
bool WorkerProcess::Start(const fs::path& program, const std::vector<std::string>& arguments, std::string* error) {
  int pipe[2];
  if (::pipe(pipe) != 0) {
    *error = "cannot start a worker: " + std::generic_category().message(errno);
    return false;
  }
  // neither end is left open in a later worker (the write end reaches this one as its standard output)
  for (const int end : pipe) fcntl(end, F_SETFD, FD_CLOEXEC);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, pipe[1], STDOUT_FILENO);
  posix_spawn_file_actions_addclose(&actions, pipe[0]);
  posix_spawn_file_actions_addclose(&actions, pipe[1]);
  std::vector<std::string> words{program.string()};
  words.insert(words.end(), arguments.begin(), arguments.end());
  std::vector<char*> argv;
  for (std::string& word : words) argv.push_back(word.data());
  argv.push_back(nullptr);
  pid_t process = -1;
  const int failure = posix_spawn(&process, program.c_str(), &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  close(pipe[1]);
  if (failure != 0) {
    close(pipe[0]);
    *error = "cannot start a worker: " + std::generic_category().message(failure);
    return false;
  }
  process_ = process;
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

bool StandardErrorIsATerminal() { return isatty(STDERR_FILENO) != 0; }

void UseBinaryStandardStreams() {}
#endif

}  // namespace vantorcli
