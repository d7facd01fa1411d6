#include "tools/velkor-sim/InputFile.h"

#include <cstdio>
#include <filesystem>

namespace sim {

std::string Printable(const std::string& text) {
    std::string out;
    for (char c : text) {
        const auto u = static_cast<unsigned char>(c);
        if (u < 0x20 || u == 0x7f) {
            char hex[8];
            std::snprintf(hex, sizeof hex, "\\x%02x", u);
            out += hex;
        } else {
            out += c;
        }
    }
    return out;
}

bool OpenInputFile(const std::string& path, std::uintmax_t maxBytes, const std::string& what, std::ifstream& in,
                   std::string& error) {
    namespace fs = std::filesystem;
    std::error_code ec;
    const fs::file_status status = fs::status(path, ec);
    if (ec || !fs::exists(status)) {
        error = "cannot open " + what + " '" + Printable(path) + "'";
        return false;
    }
    if (!fs::is_regular_file(status)) {
        error = what + " '" + Printable(path) + "' is not a regular file";
        return false;
    }
    const std::uintmax_t size = fs::file_size(path, ec);
    if (ec || size > maxBytes) {
        error = what + " '" + Printable(path) + "' is larger than " + std::to_string(maxBytes >> 20) + " MB";
        return false;
    }
    in.open(path);
    if (!in) {
        error = "cannot open " + what + " '" + Printable(path) + "'";
        return false;
    }
    return true;
}

}  // namespace sim
