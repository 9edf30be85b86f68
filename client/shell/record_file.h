// The record of the hands played at the current seat: the result window's
// eight lists copied into the record file after each hand, one section per
// hand, and copied back on request.
#pragma once

#include <string>

#include "shell/ini_file.h"

namespace tavren {

struct Client;

// The record file's path in the program folder.
std::string RecordFilePath(Client& c);

// Section and key names of hand `n`, list `k`, line `j`.
std::string RecordSection(int n);
std::string RecordCountKey(int k);
std::string RecordLineKey(int k, int j);

// Copies the result window's lists into hand `n`'s section. When the hand
// cannot be kept, the message area says so and why, once per game.
void WriteHandRecord(Client& c, int n);

// A new game at a seat, or none: the record file goes when it is a plain
// file; anything else bearing its name (a folder, a link, a pipe) is left
// alone. The next lost hand is told again.
void DeleteRecordFile(Client& c);

// The message-area line for a hand that could not be kept.
std::string RecordLossText(IniWrite why);

// Fills the result window's lists from hand `n`'s section; hand 0 reads nothing.
void ReadHandRecord(Client& c, int n);

}  // namespace tavren
