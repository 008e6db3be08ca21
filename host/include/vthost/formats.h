// The formats a conversion writes, in one table: each format's option, its forms (found by a
// file's suffix), what its files begin with, and the one function that makes its bytes.
#pragma once

#include <array>
#include <cstddef>
#include <filesystem>
#include <string>
#include <string_view>

#include "vthost/budget.h"
#include "vthost/models.h"

namespace vthost {

struct PlainModel;  // the model as the 3D formats write it (host/src/export/plainmodel.h)

// What a form's bytes are made of: the object itself, for its report, and its model, made once for
// every 3D format (null for an object without a model).
struct FormSource {
  const Host& host;
  const VtNode* object;
  const Detail* detail;     // what a triangle budget chose, or null
  const PlainModel* model;
};

// Makes a form's bytes; false with the reason when they cannot be made (a number the format
// cannot hold). A report refused so still has its text in *bytes, which standard output takes.
using MakeBytes = bool (*)(const FormSource& source, ModelBytes* bytes, std::string* error);

// One layout of a format, told by a file's suffix: USD is a .usdz package or USDA text.
struct FormatForm {
  std::string_view name;                     // "usdz": as the studio and the script name it
  std::array<std::string_view, 2> suffixes;  // small letters; an unused one is empty
  // What its files begin with: a file that begins otherwise (and is not empty) is not replaced,
  // and kind names it then ("notes.usda is there and is not a USDA file: not replaced").
  std::string_view magic;
  std::string_view kind;
  MakeBytes make;
};

struct OutputFormat {
  std::string_view name;    // "USD"
  std::string_view option;  // the command line's option that writes it
  std::string_view value;   // the option's value as the usage writes it
  std::string_view help;    // what the option does, as --help says
  std::string_view what;    // "the USD": "cannot write the USD to standard output"
  std::string_view suffix;  // the suffix a name template is shown with
  bool fromModel;           // made from the model; otherwise from the object (the report)
  // The first is written to standard output and for a name of no suffix listed; an unused one
  // has no name.
  std::array<FormatForm, 2> forms;
};

// Every format, in the order a molecule's outputs are made and written (and the manifest lists them).
extern const std::array<OutputFormat, 3> kOutputFormats;

const OutputFormat& FormatOf(const FormatForm& form);
// The form of that name ("glb", "usdz", "usda", "json"); null when there is none.
const FormatForm* FormNamed(std::string_view name);
// The form a file named so is written in: the one whose suffix the name ends with, in any case (a
// name that is only the suffix, ".usdz", too); otherwise the first. "-" is standard output.
const FormatForm& FormOfFile(const OutputFormat& format, std::string_view name);
// The same among the formats made from the model, glTF when none has the suffix (the script's export).
const FormatForm& ModelFormOfFile(std::string_view name);

// The one rule for replacing a file with an output: nothing there, an empty file, or one that
// begins as the form's files do; a device, a FIFO or one of the process's descriptors is written
// as it stands. False with the reason otherwise (a folder, a file of another kind).
bool MayReplaceWith(const std::filesystem::path& file, std::string_view magic, std::string_view kind,
                    std::string* error);

}  // namespace vthost
