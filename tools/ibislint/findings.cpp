#include "tools/ibislint/findings.h"

#include <algorithm>
#include <unordered_map>

void OrderFindings(std::vector<Finding>& findings, const std::string& first) {
    std::unordered_map<std::string, std::size_t> fileOrder{{first, 0}};
    for (const Finding& f : findings) fileOrder.emplace(f.file, fileOrder.size());
    std::stable_sort(findings.begin(), findings.end(), [&](const Finding& a, const Finding& b) {
        const std::size_t fa = fileOrder[a.file], fb = fileOrder[b.file];
        if (fa != fb) return fa < fb;
        if ((a.line == 0) != (b.line == 0)) return b.line == 0;
        return a.line < b.line;
    });
}

namespace {

bool Continues(const Finding& run, const Finding& next) {
    // Only the same text continues a run, on the same line or the next one, so
    // that no name, value or second fault of one line is hidden in a count.
    if (run.file != next.file || run.kind != next.kind || run.number != next.number || run.text != next.text)
        return false;
    if (next.line == run.lastLine) return true;
    return run.line != 0 && next.line == run.lastLine + 1;
}

}  // namespace

void FoldFindings(std::vector<Finding>& findings) {
    std::size_t kept = 0;
    for (std::size_t i = 0; i < findings.size(); ++i) {
        if (kept > 0 && Continues(findings[kept - 1], findings[i])) {
            Finding& run = findings[kept - 1];
            run.count += findings[i].count;
            run.lastLine = std::max(run.lastLine, findings[i].lastLine);
            continue;
        }
        if (kept != i) findings[kept] = std::move(findings[i]);
        ++kept;
    }
    findings.resize(kept);
}

char SeverityLetter(std::int32_t kind) {
    switch (kind) {
        case kBug: return 'B';
        case kWarning: return 'W';
        case kCaution: return 'C';
        case kNote: return 'N';
        default: return 'E';
    }
}

const char* SeverityWord(std::int32_t kind) {
    switch (kind) {
        case kWarning:
        case kCaution: return "warning";
        case kNote: return "note";
        default: return "error";
    }
}

std::string FoldNote(const Finding& f) {
    if (f.count <= 1) return "";
    std::string note = " (" + std::to_string(f.count) + " times";
    if (f.lastLine != f.line) note += ", lines " + std::to_string(f.line) + "-" + std::to_string(f.lastLine);
    return note + ")";
}
