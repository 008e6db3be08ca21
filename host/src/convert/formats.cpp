// The table of output formats, and the forms found by name and by suffix.
#include "vthost/formats.h"

#include <cctype>
#include <memory>
#include <system_error>

#include "base/outputfiles.h"
#include "export/gltf.h"
#include "export/usd.h"
#include "vthost/report.h"

namespace vthost {
namespace {

bool MakeReport(const FormSource& source, ModelBytes* bytes, std::string* error) {
  const bool made = ReportBytes(source.host, source.object, source.detail, bytes, error);
  bytes->pieces.push_back("\n");
  return made;
}

bool MakeGlb(const FormSource& source, ModelBytes* bytes, std::string* error) {
  return GlbFromModel(*source.model, bytes, error);
}

bool MakeUsd(const FormSource& source, bool package, ModelBytes* bytes, std::string* error) {
  if (!UsdFromModel(*source.model, package, bytes, error)) return false;
  bytes->drawsNothing = source.model->root < 0;  // a stage of the object alone
  return true;
}

bool MakeUsdz(const FormSource& source, ModelBytes* bytes, std::string* error) {
  return MakeUsd(source, /*package=*/true, bytes, error);
}

bool MakeUsda(const FormSource& source, ModelBytes* bytes, std::string* error) {
  return MakeUsd(source, /*package=*/false, bytes, error);
}

// Whether name ends with suffix (small letters), letters of either case taken as one.
bool EndsWith(std::string_view name, std::string_view suffix) {
  if (suffix.empty() || name.size() < suffix.size()) return false;
  const std::string_view end = name.substr(name.size() - suffix.size());
  for (size_t i = 0; i < suffix.size(); ++i) {
    if (std::tolower(static_cast<unsigned char>(end[i])) != suffix[i]) return false;
  }
  return true;
}

const FormatForm* FormWithSuffix(const OutputFormat& format, std::string_view name) {
  for (const FormatForm& form : format.forms) {
    for (const std::string_view suffix : form.suffixes) {
      if (!form.name.empty() && EndsWith(name, suffix)) return &form;
    }
  }
  return nullptr;
}

}  // namespace

const std::array<OutputFormat, 3> kOutputFormats = {{
    {"report", "--json", "OUT", "writes the report of each molecule as JSON (- for standard output, a name template for several)",
     "the report", ".json", /*fromModel=*/false,
     {{{"json", {".json"}, "{", "JSON report", MakeReport}}}},
    {"glTF", "--gltf", "OUT", "writes each model as glTF 2.0 binary (- for standard output, a name template for several)",
     "the glTF", ".glb", /*fromModel=*/true,
     {{{"glb", {".glb"}, "glTF", "glTF file", MakeGlb}}}},
    {"USD", "--usd", "OUT.usda|OUT.usdz|-",
     "writes each model as USD: a .usdz package, or USDA text (- for standard output, a name template for several)",
     "the USD", ".usdz", /*fromModel=*/true,
     {{{"usda", {".usda", ".usd"}, "#usda", "USDA file", MakeUsda},
       {"usdz", {".usdz"}, std::string_view("PK\x03\x04", 4), "USDZ package", MakeUsdz}}}},
}};

const OutputFormat& FormatOf(const FormatForm& form) {
  for (const OutputFormat& format : kOutputFormats) {
    for (const FormatForm& own : format.forms) {
      if (&own == &form) return format;
    }
  }
  return kOutputFormats[0];  // not reached: every form is a row's
}

const FormatForm* FormNamed(std::string_view name) {
  for (const OutputFormat& format : kOutputFormats) {
    for (const FormatForm& form : format.forms) {
      if (!form.name.empty() && form.name == name) return &form;
    }
  }
  return nullptr;
}

const FormatForm& FormOfFile(const OutputFormat& format, std::string_view name) {
  if (name == "-") return format.forms[0];
  const FormatForm* form = FormWithSuffix(format, name);
  return form != nullptr ? *form : format.forms[0];
}

const FormatForm& ModelFormOfFile(std::string_view name) {
  const OutputFormat* first = nullptr;
  for (const OutputFormat& format : kOutputFormats) {
    if (!format.fromModel) continue;
    if (first == nullptr) first = &format;
    if (name == "-") break;
    if (const FormatForm* form = FormWithSuffix(format, name)) return *form;
  }
  return first->forms[0];
}

bool MayReplaceWith(const std::filesystem::path& file, std::string_view magic, std::string_view kind,
                    std::string* error) {
  std::error_code failure;
  const std::filesystem::file_status status = std::filesystem::status(file, failure);
  if (std::filesystem::exists(status) && !std::filesystem::is_regular_file(status) &&
      !std::filesystem::is_directory(status)) {
    return true;  // a device or a FIFO
  }
  // a name of one of the process's descriptors (/dev/stdout sent to a file) is checked last: it
  // resolves the whole name
  return MayReplace(file, magic, kind, error) || DescriptorOf(file) >= 0;
}

}  // namespace vthost
