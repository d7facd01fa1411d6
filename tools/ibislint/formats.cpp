#include "tools/ibislint/formats.h"

#include <cctype>
#include <cstring>
#include <map>
#include <string>

#include "IbisParser/engine/messages.h"
#include "IbisParser/engine/printable.h"

namespace {

// The length of the well-formed UTF-8 sequence at `i`, 0 when none starts
// there: no overlong forms (C0, C1, E0 80-9F, F0 80-8F), no surrogates (ED
// A0-BF) and nothing above U+10FFFF (F4 90-BF, F5-FF).
std::size_t Utf8SequenceAt(const std::string& s, std::size_t i) {
    const auto c = static_cast<unsigned char>(s[i]);
    if (c < 0x80) return 1;
    std::size_t length = 0;
    unsigned char low = 0x80, high = 0xbf;  // the range of the second byte
    if (c >= 0xc2 && c <= 0xdf) {
        length = 2;
    } else if (c >= 0xe0 && c <= 0xef) {
        length = 3;
        low = c == 0xe0 ? 0xa0 : 0x80;
        high = c == 0xed ? 0x9f : 0xbf;
    } else if (c >= 0xf0 && c <= 0xf4) {
        length = 4;
        low = c == 0xf0 ? 0x90 : 0x80;
        high = c == 0xf4 ? 0x8f : 0xbf;
    }
    if (length == 0 || i + length > s.size()) return 0;
    const auto second = static_cast<unsigned char>(s[i + 1]);
    if (second < low || second > high) return 0;
    for (std::size_t k = 2; k < length; ++k)
        if ((static_cast<unsigned char>(s[i + k]) & 0xc0) != 0x80) return 0;
    return length;
}

// Valid UTF-8 as it stands; a byte that starts no well-formed sequence becomes
// U+FFFD, so that strict readers accept every document (paths and file texts
// may be in any encoding).
std::string ValidUtf8(const std::string& s) {
    std::string out;
    for (std::size_t i = 0; i < s.size();) {
        if (const std::size_t length = Utf8SequenceAt(s, i)) {
            out.append(s, i, length);
            i += length;
        } else {
            out += "\xef\xbf\xbd";
            ++i;
        }
    }
    return out;
}

// One line: line ends and other control characters become blanks.
std::string OneLine(std::string s) {
    for (char& c : s)
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f) c = ' ';
    return s;
}

std::string JsonString(const std::string& s) {
    std::string out = "\"";
    for (const char c : ValidUtf8(s)) {
        switch (c) {
            case '"': out += "\\\""; break;
            case '\\': out += "\\\\"; break;
            case '\n': out += "\\n"; break;
            case '\r': out += "\\r"; break;
            case '\t': out += "\\t"; break;
            default:
                if (static_cast<unsigned char>(c) < 0x20) {
                    char escaped[8];
                    std::snprintf(escaped, sizeof escaped, "\\u%04x", static_cast<unsigned>(c));
                    out += escaped;
                } else {
                    out += c;
                }
        }
    }
    return out + "\"";
}

// The line fields of JSON: null for a finding that concerns no one line.
std::string JsonLine(std::uint32_t line) { return line ? std::to_string(line) : "null"; }

std::string Tag(const Finding& f) {
    if (f.number <= 0) return "";
    char tag[16];
    std::snprintf(tag, sizeof tag, " [%c%04d]", SeverityLetter(f.kind), static_cast<int>(f.number));
    return tag;
}

const char* SeverityName(std::int32_t kind) {
    switch (kind) {
        case kBug: return "bug";
        case kWarning: return "warning";
        case kCaution: return "caution";
        case kNote: return "note";
        default: return "error";
    }
}

std::string JsonNumbers(const std::vector<std::int32_t>& numbers) {
    std::string out = "[";
    for (std::size_t i = 0; i < numbers.size(); ++i) out += (i ? ", " : "") + std::to_string(numbers[i]);
    return out + "]";
}

// A path as a relative URI reference: unreserved characters and separators as
// they are, every other byte percent-encoded.
std::string UriOf(const std::string& path) {
    std::string out;
    for (const char c : path) {
        const auto u = static_cast<unsigned char>(c);
        if (std::isalnum(u) || std::strchr("-._~/", c)) {
            out += c;
        } else if (c == '\\') {
            out += '/';
        } else {
            char escaped[4];
            std::snprintf(escaped, sizeof escaped, "%%%02X", static_cast<unsigned>(u));
            out += escaped;
        }
    }
    return out;
}

// The word of a table severity, as the JSON findings write it.
const char* SeverityName(Severity severity) {
    return severity == Severity::kInformation ? "information" : SeverityName(static_cast<std::int32_t>(severity));
}

// The SARIF level of a table severity.
const char* SarifLevel(Severity severity) {
    const auto kind = static_cast<std::int32_t>(severity);
    return kind == kNote || kind == kInformation ? "note" : SeverityWord(kind);
}

std::string RuleId(std::int32_t number) {
    char id[16];
    std::snprintf(id, sizeof id, "IBIS%04d", static_cast<int>(number));
    return id;
}

}  // namespace

void WriteGnu(std::FILE* out, const CheckedFile& file) {
    for (const Finding& f : file.findings) {
        const std::string name = PrintableName(f.file.empty() ? file.path : f.file);
        if (f.line) std::fprintf(out, "%s:%u: ", name.c_str(), static_cast<unsigned>(f.line));
        else std::fprintf(out, "%s: ", name.c_str());
        std::fprintf(out, "%s: %s%s%s\n", SeverityWord(f.kind), OneLine(f.text).c_str(), FoldNote(f).c_str(),
                     Tag(f).c_str());
    }
}

void WriteJson(std::FILE* out, const std::vector<CheckedFile>& files, const std::vector<std::int32_t>& disabled) {
    bool failed = false;
    for (const CheckedFile& file : files) failed = failed || file.failed;
    std::fprintf(out, "{\n  \"tool\": \"ibislint\",\n  \"verdict\": \"%s\",\n  \"disabled\": %s,\n  \"files\": [",
                 failed ? "failed" : "passed", JsonNumbers(disabled).c_str());
    for (std::size_t i = 0; i < files.size(); ++i) {
        const CheckedFile& file = files[i];
        std::fprintf(out,
                     "%s\n    {\n      \"file\": %s,\n      \"verdict\": \"%s\",\n      \"checked\": %s,\n"
                     "      \"bugs\": %u,\n"
                     "      \"errors\": %u,\n      \"warnings\": %u,\n      \"cautions\": %u,\n      \"findings\": [",
                     i ? "," : "", JsonString(file.path).c_str(), file.failed ? "failed" : "passed",
                     file.checked ? "true" : "false", file.bugs,
                     file.errors, file.warnings, file.cautions);
        for (std::size_t k = 0; k < file.findings.size(); ++k) {
            const Finding& f = file.findings[k];
            std::fprintf(out,
                         "%s\n        {\"file\": %s, \"line\": %s, \"lastLine\": %s, \"count\": %u, "
                         "\"severity\": \"%s\", \"number\": %d, \"text\": %s}",
                         k ? "," : "", JsonString(f.file.empty() ? file.path : f.file).c_str(),
                         JsonLine(f.line).c_str(), JsonLine(f.lastLine).c_str(), f.count, SeverityName(f.kind),
                         static_cast<int>(f.number), JsonString(f.text).c_str());
        }
        std::fprintf(out, "%s]\n    }", file.findings.empty() ? "" : "\n      ");
    }
    std::fprintf(out, "%s]\n}\n", files.empty() ? "" : "\n  ");
}

void WriteSarif(std::FILE* out, const std::vector<CheckedFile>& files, const std::vector<std::int32_t>& disabled) {
    // The rules: every message number that occurs, with its text from the table.
    std::map<std::int32_t, std::size_t> ruleIndex;
    for (const CheckedFile& file : files)
        for (const Finding& f : file.findings) ruleIndex.emplace(f.number, 0);
    std::string rules;
    std::size_t index = 0;
    for (auto& [number, at] : ruleIndex) {
        at = index++;
        const MessageRow* row = number > 0 ? FindMessage(number) : nullptr;
        const std::string text = row ? OneLine(row->text) : "A finding without a message number";
        rules += std::string(at ? "," : "") + "\n          {\"id\": " + JsonString(RuleId(number));
        if (row)
            rules += std::string(", \"name\": ") + JsonString(row->name) +
                     ", \"defaultConfiguration\": {\"level\": \"" + SarifLevel(row->severity) + "\"}";
        rules += ", \"shortDescription\": {\"text\": " + JsonString(text) + "}}";
    }
    std::fprintf(out,
                 "{\n  \"$schema\": \"https://json.schemastore.org/sarif-2.1.0.json\",\n  \"version\": \"2.1.0\",\n"
                 "  \"runs\": [\n    {\n      \"tool\": {\"driver\": {\"name\": \"ibislint\", \"rules\": [%s%s]}},\n"
                 "      \"properties\": {\"disabled\": %s},\n      \"results\": [",
                 rules.c_str(), rules.empty() ? "" : "\n        ", JsonNumbers(disabled).c_str());
    bool first = true;
    for (const CheckedFile& file : files)
        for (const Finding& f : file.findings) {
            const char* level = f.kind == kNote ? "note" : SeverityWord(f.kind);
            std::string region;
            if (f.line)
                region = ", \"region\": {\"startLine\": " + std::to_string(f.line) +
                         ", \"endLine\": " + std::to_string(f.lastLine) + "}";
            const std::string uri = UriOf(f.file.empty() ? file.path : f.file);
            std::fprintf(out,
                         "%s\n        {\"ruleId\": %s, \"ruleIndex\": %zu, \"level\": \"%s\", "
                         "\"message\": {\"text\": %s}, \"locations\": [{\"physicalLocation\": "
                         "{\"artifactLocation\": {\"uri\": %s}%s}}]}",
                         first ? "" : ",", JsonString(RuleId(f.number)).c_str(), ruleIndex[f.number], level,
                         JsonString(OneLine(f.text) + FoldNote(f)).c_str(), JsonString(uri).c_str(), region.c_str());
            first = false;
        }
    std::fprintf(out, "%s]\n    }\n  ]\n}\n", first ? "" : "\n      ");
}

void WriteMessageTable(std::FILE* out) {
    std::fputs("| Number | Severity | Name | Text |\n|---:|---|---|---|\n", out);
    for (const MessageRow& row : kMessageTable) {
        if (row.number == 0) continue;  // the stand-in for numbers the table lacks
        std::string text;
        for (const char* c = row.text; *c; ++c) {
            if (*c == '\n') text += "\\n";
            else if (*c == '|') text += "\\|";
            else text += *c;
        }
        std::fprintf(out, "| %d | %s | %s | `%s` |\n", static_cast<int>(row.number), SeverityName(row.severity),
                     row.name, text.c_str());
    }
}
