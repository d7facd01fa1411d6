// Guards for the files velkor-sim reads: only regular files of a bounded size
// (a device or a fifo would never end), and messages free of raw control bytes.
#pragma once

#include <cstdint>
#include <fstream>
#include <string>

namespace sim {

// Opens `path` for reading when it is a regular file of at most maxBytes; false
// with a message that starts with `what` ("the channel file", ...).
bool OpenInputFile(const std::string& path, std::uintmax_t maxBytes, const std::string& what, std::ifstream& in,
                   std::string& error);

// The text with control bytes and other non-printing ASCII written as \xNN.
std::string Printable(const std::string& text);

}  // namespace sim
