// Reading a whole run back in tests: the run log's events, the changes it names, and the station most
// option tests start from.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "removal_station.h"

using Fields = std::map<std::string, std::string>;

// "Office" and "Plain", Office with every registry trace.
void SeedOffice(RemovalStation& st);
// The log file's lines; fails the test when it is missing or a line is not one JSON object.
std::vector<Fields> ReadLog(RemovalStation& st, const std::string& path);
// The lines of one event, in order.
std::vector<Fields> Events(const std::vector<Fields>& log, const std::string& event);
// A snapshot difference without the lines of the files `paths` (the logs a run wrote).
std::vector<std::string> Without(std::vector<std::string> diff, const std::vector<std::string>& paths);
// One line per change a report names, with its outcome when it is not the change itself.
std::vector<std::string> ChangeLines(const std::vector<Fields>& log);
