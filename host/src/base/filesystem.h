// The system's calls for the files the host writes and the names it resolves, one file a platform.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

// filesystem-posix.cpp and filesystem-win32.cpp define these, and FileIdOf (vthost/files.h).
namespace vthost::os {

// One file being written: a descriptor, or a Windows HANDLE (whose INVALID_HANDLE_VALUE is -1).
using Handle = std::intptr_t;
constexpr Handle kNoHandle = -1;

// Why the last call failed, in the system's words.
std::string LastReason();
// Whether the last create failed because the name was there already.
bool NameTaken();
unsigned long ProcessId();

// false, with the reason for LastReason, when target is there and may not be written.
bool MayOverwrite(const std::filesystem::path& target);
bool Exists(const std::filesystem::path& file);
// A new file, made only where nothing is under that name; replacing says it is to replace one.
Handle CreateNamed(const std::filesystem::path& file, bool replacing);
// A new file of no name in folder; kNoHandle where the system makes none.
Handle CreateUnnamed(const std::filesystem::path& folder, bool replacing);
bool NameUnnamed(Handle handle, const std::filesystem::path& name);
// The new file takes what the system keeps of target, where target is there.
void KeepOwnerAndMode(Handle handle, const std::filesystem::path& target);
Handle OpenExisting(const std::filesystem::path& file);
Handle OpenDescriptor(int descriptor);
// Up to size bytes from the start of file into bytes: how many were read (0 when it cannot be read).
size_t ReadStart(const std::filesystem::path& file, char* bytes, size_t size);

bool WriteAll(Handle handle, std::string_view bytes);
// The pieces one after another, in as few calls to the system as it takes.
bool WriteAll(Handle handle, const std::vector<std::string_view>& pieces);
bool Flush(Handle handle);
// Every new file flushed to disk: on Linux with one flush of each file system they lie on (the
// journal is written once, not once a file), elsewhere a file at a time. false with the reason.
bool FlushAll(const std::vector<Handle>& files, std::string* reason);
bool Close(Handle handle);
bool Move(const std::filesystem::path& from, const std::filesystem::path& to);
// Safe in a signal's handler.
void RemoveName(const std::filesystem::path::value_type* file);
// An empty folder's name removed; safe in a signal's handler.
void RemoveFolderName(const std::filesystem::path::value_type* folder);
// Asks a process of the run's own to end (POSIX); safe in a signal's handler.
void StopProcess(unsigned long process);
// handler runs on the signals that end the run (interrupt, terminate, hang-up).
void HandleEndingSignals(void (*handler)(int));

enum class Kind { Nothing, Regular, Folder, Other };
// What file names once its links are followed (/proc/self/fd/N too, which only the system follows).
Kind KindOf(const std::filesystem::path& file);

// The descriptor a name stands for when it is one of the process's own open files (/dev/stdout,
// /dev/fd/N, /proc/self/fd/N), written through that descriptor; -1 for any other name.
int DescriptorNamed(const std::filesystem::path& name);
// Letters of either case made one where the file system takes them as one (Windows, macOS).
void FoldCase(std::filesystem::path::string_type* name);

}  // namespace vthost::os
