// Parameters named and their values read from text, as the script's set and vantor-host's --set
// read them (SetParameterFromText, vthost/description.h).
//
// A parameter is named by its id, by a MOLOBJ_ name from the object's description, or as
// MOLOBJ_ROW_NAME[row] (rows 0 to 248, all an object can have). A value is read by the parameter's
// type: integers, floats, true/false, three numbers for vectors and colours, the whole text for
// strings and file names; a parameter the object does not show takes the type its text reads as.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "vthost/host.h"

namespace vthost {

// A word of a line, and where the line goes on after it.
struct Word {
  std::string text;
  size_t end = 0;
  bool quoted = false;  // a quote was in it
};

// The words of text, split at blanks (spaces, tabs) as shells split them: double quotes hold a
// word, or a part of one, with blanks in it ("my molecule"), and inside them \" stands for a quote
// and \\ for a backslash (any other backslash is itself). False when a quote is not closed.
bool Words(std::string_view text, std::vector<Word>* words);

// The id of the parameter of node so named; 0 with the reason in *error when there is none.
int32_t FindParameterId(Host& host, VtNode* node, const std::string& name, std::string* error);

// The data type of the parameter as the object shows it; for a row it does not show yet, the row
// parameter's type; 0 when unknown.
int32_t ShownDataType(Host& host, VtNode* node, int32_t id);

// The data type as the script writes it: "int", "float", "colour" ...
std::string DataTypeName(int32_t dataType);
// The same with its article: "an int", "a float" ...
std::string DataTypeWithArticle(int32_t dataType);

}  // namespace vthost
