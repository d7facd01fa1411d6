#include "ami/ParametersOut.h"

#include <charconv>
#include <cstring>

#include "model/CDR.h"

namespace ami {

namespace {

// Appends "(name value)" with the shortest text that reads back as the same double;
// to_chars ignores the host's locale, so the decimal point is always a point.
char* AppendLeaf(char* at, char* end, const char* name, double value) {
    const std::size_t length = std::strlen(name);
    *at++ = ' ';
    *at++ = '(';
    std::memcpy(at, name, length);
    at += length;
    *at++ = ' ';
    at = std::to_chars(at, end, value).ptr;
    *at++ = ')';
    return at;
}

}  // namespace

double FrequencyCorrectionPpm(const CDR& cdr) {
    if (cdr.FrequencySign == 0 || cdr.FrequencyStepInterval <= 0 || cdr.SamplesPerUI <= 0) return 0.0;
    return static_cast<double>(cdr.FrequencySign) * 1e6 /
           (static_cast<double>(cdr.FrequencyStepInterval) * static_cast<double>(cdr.SamplesPerUI));
}

void FormatParametersOut(const CDR& cdr, ParametersOutText& text) {
    char* at = text.data();
    char* const end = text.data() + text.size();
    constexpr char kRoot[] = "(Velkor_Rx";
    std::memcpy(at, kRoot, sizeof kRoot - 1);
    at += sizeof kRoot - 1;
    const double gainCode = cdr.GainCode == -1 ? cdr.AEQ_gain : static_cast<double>(cdr.GainCode);
    at = AppendLeaf(at, end, "gain_code", gainCode);
    at = AppendLeaf(at, end, "set_index", cdr.SetIndex());
    at = AppendLeaf(at, end, "frequency_offset_ppm", FrequencyCorrectionPpm(cdr));
    at = AppendLeaf(at, end, "phase_votes", static_cast<double>(cdr.PhaseVotes));
    *at++ = ')';
    *at = '\0';
}

}  // namespace ami
