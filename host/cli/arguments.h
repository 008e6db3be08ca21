// vantor-host's command line: one table of options, which drives its reading, the usage and --help.
#pragma once

#include <filesystem>
#include <string>

#include "request.h"
#include "vthost/host.h"

namespace vantorcli {

struct Arguments {
  std::filesystem::path module;
  std::string script;  // a file, or - for standard input
  vthost::HostOptions options;
  RunRequest molecules;     // the molecule files to convert, and what to write of each
  bool parameters = false;  // --parameters: the table of the object's parameters instead
  bool help = false;        // --help: the usage and the script's commands, and nothing else
  bool recordsGiven = false, jobsGiven = false;
};

// False with the reason in *error when the arguments cannot be used; --help ends the reading.
bool ParseArguments(int argc, char** argv, Arguments* arguments, std::string* error);

// A line of the usage per form of the command line.
std::string Usage();
// The usage, then every option with what it does.
std::string Help();

}  // namespace vantorcli
