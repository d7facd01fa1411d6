// File names as reports print them. A name comes from a command line or a file
// system and may hold any byte; a line end in it would forge report lines (and
// the gnu format's FILE:LINE: prefix), an escape sequence would drive the
// reader's terminal.
#pragma once

#include <string>
#include <string_view>

// The name with each control character (C0, DEL, and C1 as UTF-8 writes it:
// C2 80 to C2 9F) written as \xNN escapes, byte by byte; every other byte as it is.
std::string PrintableName(std::string_view name);
