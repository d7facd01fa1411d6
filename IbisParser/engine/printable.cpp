#include "IbisParser/engine/printable.h"

#include <cstdio>

namespace {

void AppendEscaped(std::string& out, unsigned char byte) {
    char escaped[5];
    std::snprintf(escaped, sizeof escaped, "\\x%02x", static_cast<unsigned>(byte));
    out += escaped;
}

}  // namespace

std::string PrintableName(std::string_view name) {
    std::string out;
    out.reserve(name.size());
    for (std::size_t i = 0; i < name.size(); ++i) {
        const auto c = static_cast<unsigned char>(name[i]);
        const bool c1 = c == 0xc2 && i + 1 < name.size() && (static_cast<unsigned char>(name[i + 1]) & 0xe0) == 0x80;
        if (c1) {
            AppendEscaped(out, c);
            AppendEscaped(out, static_cast<unsigned char>(name[++i]));
        } else if (c < 0x20 || c == 0x7f) {
            AppendEscaped(out, c);
        } else {
            out += name[i];
        }
    }
    return out;
}
