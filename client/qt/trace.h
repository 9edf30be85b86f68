// Timestamps of the window's road for measurements: when $TAVRENMJ_TRACE
// names a file, each mark appends "<milliseconds> <what>" to it. Off, a mark
// costs one test of a null pointer.
#pragma once

namespace tavren::qt {

void Trace(const char* what);

}  // namespace tavren::qt
