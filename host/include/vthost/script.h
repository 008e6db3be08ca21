// The host's script language: one command per line, so a whole session runs without a person.
// Its commands are one table, which runs them and writes their usage messages and their help.
#pragma once

#include <filesystem>
#include <iosfwd>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "vthost/convert.h"
#include "vthost/host.h"
#include "vthost/module.h"

namespace vthost {

class ScriptRunner {
 public:
  // out receives the JSON that dump and describe print; err the reasons a line fails.
  ScriptRunner(Host& host, std::ostream& out, std::ostream& err, std::filesystem::path defaultModule);
  ~ScriptRunner();

  // Runs every line; stops at the first that fails, or at a line longer than 1 MiB. False when one
  // did.
  bool Run(std::istream& script);
  // One line; blank lines and lines starting with # do nothing.
  bool RunLine(const std::string& line);

  VtDocument* Document() const { return document_; }
  // The number of the line read last.
  int Line() const { return line_; }
  // For running text of unknown origin, such as a fuzzer's: refuses load with a module and export,
  // and every save and open, except, when scratch is a folder, of plain file names, which then name files
  // in that folder.
  void Sandbox(std::filesystem::path scratch = {}) {
    sandboxed_ = true;
    scratch_ = std::move(scratch);
  }
  // For running many scripts in one process, such as a fuzzer's: 'load' without a module takes
  // this one, loaded and started by the caller, who keeps it past the runner; 'unload' closes the
  // document and leaves the module running.
  void ShareModule(Module* started) { shared_ = started; }

  // The commands, a line each: the usage, then what the command does.
  static std::string Help();

 private:
  // A line's words: the command's name, then its words.
  using CommandWords = std::vector<std::string>;
  struct Command;  // script.cpp
  static const Command kCommands[];
  static const Command* Find(std::string_view name);

  // The script's one printer of a failed line; false.
  bool Fail(const std::string& reason);
  // Fails the line of a known command with its usage.
  bool Usage(const std::string& name);
  bool RunCommand(const std::string& line);
  VtNode* Object(const std::string& name);
  VtNode* Material(const std::string& name);
  // Whether a name is given to an object or a material already: the line fails then.
  bool Taken(const std::string& name);
  // The id of the object's parameter of that name when the object shows it as that data type;
  // otherwise 0, and the line fails saying what it is instead of the needed ("a button").
  int32_t ParameterOfType(VtNode* node, const std::string& name, int32_t dataType, const std::string& needed);
  // The file a command's text names (in a sandboxed run, only inside the scratch folder); false
  // when the line fails.
  bool FileNamed(const std::string& command, const std::string& text, std::filesystem::path* file);
  // Writes a command's output; false when the line fails because it could not be written.
  bool Print(const std::string& command, const std::string& text);

  bool Load(const CommandWords& words);
  bool New(const CommandWords& words);
  bool Set(const CommandWords& words);
  bool Press(const CommandWords& words);
  bool Answer(const CommandWords& words);
  bool NewMaterial(const CommandWords& words);
  bool Link(const CommandWords& words);
  bool Delete(const CommandWords& words);
  bool Copy(const CommandWords& words);
  bool Evaluate(const CommandWords& words);
  bool Describe(const CommandWords& words);
  bool Dump(const CommandWords& words);
  bool Save(const CommandWords& words);
  bool Open(const CommandWords& words);
  bool Export(const CommandWords& words);
  bool Unload(const CommandWords& words = {});

  Host& host_;
  ConversionEngine engine_;  // the exports
  std::ostream& out_;
  std::ostream& err_;
  std::filesystem::path defaultModule_;
  std::unique_ptr<Module> owned_;  // loaded by 'load'
  Module* shared_ = nullptr;
  Module* module_ = nullptr;  // the one loaded: owned_ or shared_
  VtDocument* document_ = nullptr;
  // Objects by the names the script gave them (loading a file renames an object after its title).
  std::map<std::string, VtNode*> names_;
  int line_ = 0;
  bool sandboxed_ = false;
  std::filesystem::path scratch_;
};

}  // namespace vthost
