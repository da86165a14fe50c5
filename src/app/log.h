// The optional log of one run, written only when the game starts with "/LOG".
// Every call is safe at any time and does nothing while the log is closed.
#pragma once

#include <string>

namespace app {

// Creates the log file and writes its first line; 1 on success, else 0.
int OpenLog(const std::string& path, const std::string& firstLine);
void EnableLog();
// Writes one line while the log is open; a failed write closes it for good.
void LogLine(const std::string& text);
// "label" + two tabs + value: the layout of every labelled line.
void LogValue(const std::string& label, const std::string& value);
std::string Tabs(int n);
bool LogIsOpen();
void CloseLog();

}  // namespace app
