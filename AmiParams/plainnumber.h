// Numbers read the way strtod reads them in the "C" locale, whatever locale the
// process has set. The model runs inside a simulator, which may well have set a
// locale whose decimal point is a comma; strtod would then read "0.5" as 0.
#pragma once

namespace amiparams {

// Reads the longest number at the start of text, as strtod does in the "C"
// locale: optional white space, a sign, then a decimal significand with an
// optional exponent, a hexadecimal one ("0x", with an optional binary exponent),
// or inf, infinity, nan, nan(...). A value beyond the doubles is infinite, one
// below them zero, each with its sign. Returns the end of what was read, or text
// itself (value 0) when no number starts there.
const char* ReadPlainNumber(const char* text, double& value);

}  // namespace amiparams
