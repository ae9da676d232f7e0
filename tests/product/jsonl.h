// Reading back the run log in tests: one flat JSON object per line, fields as text.
#pragma once

#include <map>
#include <string>
#include <vector>

// The fields of one JSON object: strings decoded (UTF-8), numbers, true/false/null as written, nested
// arrays and objects as their JSON text. Empty when the line is not one well-formed object.
std::map<std::string, std::string> ParseJsonObject(const std::string& line);
// Every line of `text`; `ok` is false when a line is not a well-formed object.
std::vector<std::map<std::string, std::string>> ParseJsonLines(const std::string& text, bool* ok);
// The strings of a JSON array of strings.
std::vector<std::string> ParseJsonStrings(const std::string& array);
// The objects of a JSON array of flat objects, each as ParseJsonObject reads it.
std::vector<std::map<std::string, std::string>> ParseJsonObjects(const std::string& array);
