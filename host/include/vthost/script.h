// The host's script language: one command per line, so a whole session runs without a person.
#pragma once

#include <filesystem>
#include <iosfwd>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "vthost/host.h"

namespace vthost {

// A parameter of node by id, by MOLOBJ_ name from its description, or as MOLOBJ_ROW_NAME[row]
// (rows 0 to 248, all an object can have); 0 when unknown.
int32_t FindParameterId(Host& host, VtNode* node, const std::string& name);

// A user edit of the named parameter with the value read from text by the parameter's type, as
// the script's set reads it; false with the reason in *error.
bool SetParameterFromText(Host& host, VtNode* node, const std::string& name, const std::string& text,
                          std::string* error);

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

 private:
  bool Fail(const std::string& reason);
  bool RunCommand(const std::string& line);
  VtNode* Object(const std::string& name);
  VtNode* Material(const std::string& name);
  // The file a command's text names (in a sandboxed run, only inside the scratch folder); false
  // when the line fails.
  bool FileNamed(const std::string& command, const std::string& text, std::filesystem::path* file);
  // Writes a command's output; false when the line fails because it could not be written.
  bool Print(const std::string& command, const std::string& text);

  bool Load(const std::vector<std::string>& words);
  bool New(const std::vector<std::string>& words);
  bool Set(const std::vector<std::string>& words, const std::string& rest);
  bool Press(const std::vector<std::string>& words);
  bool Answer(const std::vector<std::string>& words);
  bool NewMaterial(const std::vector<std::string>& words);
  bool Link(const std::vector<std::string>& words);
  bool Delete(const std::vector<std::string>& words);
  bool Copy(const std::vector<std::string>& words);
  bool Describe(const std::vector<std::string>& words);
  bool Dump(const std::vector<std::string>& words);
  bool Save(const std::vector<std::string>& words, const std::string& rest);
  bool Open(const std::vector<std::string>& words, const std::string& rest);
  bool Export(const std::vector<std::string>& words, const std::string& rest);
  bool Unload();

  Host& host_;
  std::ostream& out_;
  std::ostream& err_;
  std::filesystem::path defaultModule_;
  std::unique_ptr<Module> module_;
  VtDocument* document_ = nullptr;
  // Objects by the names the script gave them (loading a file renames an object after its title).
  std::map<std::string, VtNode*> names_;
  int line_ = 0;
  bool sandboxed_ = false;
  std::filesystem::path scratch_;
};

}  // namespace vthost
