// Text for files that promise UTF-8 (metrics.json, the reports): paths and
// messages may hold any bytes, which must not break the file.
#pragma once

#include <string>

namespace sim {

// The text with every byte that is not part of a well-formed UTF-8 sequence
// (stray continuation bytes, overlong forms, surrogates, code points above
// U+10FFFF, cut sequences) replaced by U+FFFD, the replacement character.
std::string ValidUtf8(const std::string& text);

}  // namespace sim
