// The record of the hands played at the current seat: the result window's
// eight lists copied into the record file after each hand, one section per
// hand, and copied back on request.
#pragma once

#include <string>

namespace tavren {

struct Client;

// The record file's path in the program folder.
std::string RecordFilePath(Client& c);

// Section and key names of hand `n`, list `k`, line `j`.
std::string RecordSection(int n);
std::string RecordCountKey(int k);
std::string RecordLineKey(int k, int j);

// Copies the result window's lists into hand `n`'s section.
void WriteHandRecord(Client& c, int n);

// Fills the result window's lists from hand `n`'s section; hand 0 reads nothing.
void ReadHandRecord(Client& c, int n);

}  // namespace tavren
