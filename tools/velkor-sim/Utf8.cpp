#include "tools/velkor-sim/Utf8.h"

namespace sim {

std::string ValidUtf8(const std::string& text) {
    static const char kReplacement[] = "\xEF\xBF\xBD";
    std::string out;
    out.reserve(text.size());
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
    for (std::size_t i = 0; i < text.size();) {
        const unsigned char b = byte(i);
        std::size_t length = 0;
        unsigned lowest = 0, highest = 0xBF;  // bounds of the second byte
        if (b < 0x80) length = 1;
        else if (b >= 0xC2 && b <= 0xDF) length = 2, lowest = 0x80;
        else if (b == 0xE0) length = 3, lowest = 0xA0;                 // no overlong forms
        else if (b == 0xED) length = 3, lowest = 0x80, highest = 0x9F;  // no surrogates
        else if (b >= 0xE1 && b <= 0xEF) length = 3, lowest = 0x80;
        else if (b == 0xF0) length = 4, lowest = 0x90;
        else if (b >= 0xF1 && b <= 0xF3) length = 4, lowest = 0x80;
        else if (b == 0xF4) length = 4, lowest = 0x80, highest = 0x8F;  // nothing above U+10FFFF
        bool ok = length > 0 && i + length <= text.size();
        for (std::size_t k = 1; ok && k < length; ++k) {
            const unsigned c = byte(i + k);
            ok = k == 1 ? c >= lowest && c <= highest : c >= 0x80 && c <= 0xBF;
        }
        if (ok) {
            out.append(text, i, length);
            i += length;
        } else {
            out += kReplacement;
            ++i;
        }
    }
    return out;
}

}  // namespace sim
