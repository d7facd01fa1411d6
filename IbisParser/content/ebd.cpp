#include "IbisParser/content/ebd.h"

#include <cmath>
#include <string>
#include <unordered_map>
#include <vector>

#include "IbisParser/engine/context.h"
#include "IbisParser/engine/frame.h"
#include "IbisParser/engine/messages.h"
#include "IbisParser/engine/namedfile.h"
#include "IbisParser/engine/reportat.h"
#include "IbisParser/text/values.h"
#include "IbisParser/text/words.h"

namespace {

struct ListedPin {
    std::string name, signal;
    std::uint32_t line;
};

struct PathPin {
    std::string pin, path;
    std::uint32_t line;
};

struct NodeRef {
    std::string node, refdes;
    std::uint32_t line;
};

// The [Path Description] being read.
struct Path {
    bool open = false;
    std::string name;
    std::uint32_t line = 0;
    std::string pin;  // its Pin, once read
    bool beganWithoutPin = false;  // something came before the Pin (reported once)
    std::vector<std::uint32_t> forks;  // lines of the open Forks
    bool segmentOpen = false;  // a Len not yet ended by '/'
    std::uint32_t segmentLine = 0;
};

struct BoardState {
    bool open = false;
    std::string name;
    std::uint32_t line = 0;
    bool manufacturer = false, pinList = false, numberOfPins = false;
    long declaredPins = -1;
    std::uint32_t declaredLine = 0;
    std::vector<ListedPin> pins;
    std::unordered_map<std::string, std::uint32_t> pinLines;
    std::unordered_map<std::string, std::uint32_t> pathNames;
    std::unordered_map<std::string, std::uint32_t> pathOfPin;  // pin -> line of its path
    std::vector<PathPin> pathPins;
    std::vector<NodeRef> nodes;
    std::unordered_map<std::string, std::uint32_t> refdes;
    // The component each designator was found as, in the named files (kept until the next checked file).
    std::unordered_map<std::string, const NamedEntry*> components;
    Path path;
};

// File-wide: the board names.
struct EbdFile {
    std::unordered_map<std::string, std::uint32_t> boards;
};

BoardState& Board() {
    return Context().Slot<BoardState>();
}

EbdFile& File() {
    return Context().Slot<EbdFile>();
}

std::string RestAfterKeyword(const char* line) {
    const char* p = line;
    while (*p && *p != ']') ++p;
    if (*p) ++p;
    while (IsBlank(*p)) ++p;
    return p;
}

// The words of a path line, with '=' and '/' as words of their own.
std::vector<std::string> PathTokens(const char* line) {
    std::vector<std::string> tokens;
    std::string word;
    for (const char* p = line;; ++p) {
        const char c = *p;
        if (c == '\0' || IsBlank(c) || c == '=' || c == '/') {
            if (!word.empty()) tokens.push_back(word);
            word.clear();
            if (c == '=' || c == '/') tokens.emplace_back(1, c);
            if (c == '\0') break;
        } else {
            word += c;
        }
    }
    return tokens;
}

void EndPath() {
    BoardState& b = Board();
    Path& path = b.path;
    if (!path.open) return;
    path.open = false;
    if (path.pin.empty() && !path.beganWithoutPin) ReportErrorAt(path.line, MSG_EBD_PATH_NO_PIN, path.name.c_str());
    if (path.segmentOpen) ReportErrorAt(path.segmentLine, MSG_EBD_SEGMENT_OPEN, path.name.c_str());
    for (std::uint32_t fork : path.forks) ReportErrorAt(fork, MSG_EBD_FORK, path.name.c_str(), "Fork", "Endfork");
}

void PathKeyword(const char* line) {
    BoardState& b = Board();
    EndPath();
    b.path = Path{};
    b.path.open = true;
    b.path.name = RestAfterKeyword(line);
    b.path.line = CurrentLine();
    const auto [at, added] = b.pathNames.emplace(b.path.name, CurrentLine());
    if (!added && !b.path.name.empty())
        ReportErrorAtLine(MSG_XREF_DUPLICATE_NAME, "Path Description", b.path.name.c_str(),
                          static_cast<int>(at->second));
}

// The value after a Len, L, R or C (at `i`, past an optional '=') must be a
// number not below zero; `i` moves past it.
void SegmentValue(const std::vector<std::string>& t, std::size_t& i, const std::string& what) {
    const char* name = Board().path.name.c_str();
    if (i + 1 < t.size() && t[i + 1] == "=") ++i;
    double value = 0;
    const bool present = i + 1 < t.size() && t[i + 1] != "/";
    const std::string text = present ? t[i + 1] : "";
    if (present) ++i;
    if (!ReadColumnNumber(text, what.c_str(), "Path Description", &value) || value < 0)
        ReportErrorAtLine(MSG_EBD_BAD_VALUE, name, what.c_str(), text.c_str());
}

void PinOfPath(const std::string& pin) {
    BoardState& b = Board();
    Path& path = b.path;
    if (!path.pin.empty()) {
        ReportErrorAtLine(MSG_EBD_PATH_SECOND_PIN, path.name.c_str(), pin.c_str());
        return;
    }
    path.pin = pin;
    const auto [at, added] = b.pathOfPin.emplace(pin, path.line);
    if (!added) ReportErrorAtLine(MSG_EBD_PIN_SECOND_PATH, pin.c_str(), static_cast<int>(at->second));
    b.pathPins.push_back({pin, path.name, CurrentLine()});
}

void NodeOfPath(const std::string& node) {
    const std::size_t dot = node.find('.');
    if (dot == std::string::npos || dot == 0 || dot + 1 == node.size()) {
        ReportErrorAtLine(MSG_EBD_NODE_FORM, Board().path.name.c_str(), node.c_str());
        return;
    }
    Board().nodes.push_back({node, node.substr(0, dot), CurrentLine()});
}

void PathData(const char* line) {
    BoardState& b = Board();
    Path& path = b.path;
    if (!path.open) return;
    const std::vector<std::string> t = PathTokens(line);
    const char* name = path.name.c_str();
    for (std::size_t i = 0; i < t.size(); ++i) {
        const std::string& word = t[i];
        const bool isPin = SameIgnoringCase(word, "Pin");
        if (path.pin.empty() && !isPin && !path.beganWithoutPin) {
            ReportErrorAtLine(MSG_EBD_PATH_NO_PIN, name);
            path.beganWithoutPin = true;
        }
        const bool segmentWord = SameIgnoringCase(word, "L") || SameIgnoringCase(word, "R") ||
                                 SameIgnoringCase(word, "C") || word == "/";
        // A new element of the path first ends the segment before it.
        if (path.segmentOpen && !segmentWord) {
            ReportErrorAt(path.segmentLine, MSG_EBD_SEGMENT_OPEN, name);
            path.segmentOpen = false;
        }
        if (isPin || SameIgnoringCase(word, "Node")) {
            const std::string value = i + 1 < t.size() ? t[++i] : "";
            if (value.empty()) ReportErrorAtLine(MSG_EBD_BAD_VALUE, name, word.c_str(), "");
            else if (isPin) PinOfPath(value);
            else NodeOfPath(value);
        } else if (SameIgnoringCase(word, "Fork")) {
            path.forks.push_back(CurrentLine());
        } else if (SameIgnoringCase(word, "Endfork")) {
            if (path.forks.empty()) ReportErrorAtLine(MSG_EBD_FORK, name, "Endfork", "Fork");
            else path.forks.pop_back();
        } else if (SameIgnoringCase(word, "Len")) {
            path.segmentOpen = true;
            path.segmentLine = CurrentLine();
            SegmentValue(t, i, word);
        } else if (segmentWord) {
            if (!path.segmentOpen) ReportErrorAtLine(MSG_EBD_OUTSIDE_SEGMENT, name, word.c_str());
            if (word == "/") path.segmentOpen = false;
            else SegmentValue(t, i, word);
        } else {
            ReportErrorAtLine(MSG_EBD_UNKNOWN_SUB, name, word.c_str());
        }
    }
}

// The first word of a row names what the row defines: a row short of columns
// and a name given twice are reported. False when the row defines nothing new.
bool DefineRowName(const std::vector<std::string_view>& w, std::size_t columns,
                   MessageOf<Severity::kError, int> shortMessage,
                   std::unordered_map<std::string, std::uint32_t>& names, const char* kind) {
    if (w.size() < columns) {
        ReportErrorAtLine(shortMessage, static_cast<int>(w.size()));
        if (w.empty()) return false;
    }
    const auto [at, added] = names.emplace(std::string(w[0]), CurrentLine());
    if (!added) ReportErrorAtLine(MSG_XREF_DUPLICATE_NAME, kind, at->first.c_str(), static_cast<int>(at->second));
    return added;
}

void PinListData(const char* line) {
    BoardState& b = Board();
    const std::vector<std::string_view> w = Words(line);
    if (!DefineRowName(w, 2, MSG_EBD_PIN_COLUMNS, b.pinLines, "pin")) return;
    b.pins.push_back({std::string(w[0]), w.size() >= 2 ? std::string(w[1]) : std::string(), CurrentLine()});
}

void MapData(const char* line) {
    BoardState& b = Board();
    const std::vector<std::string_view> w = Words(line);
    if (!DefineRowName(w, 3, MSG_EBD_MAP_COLUMNS, b.refdes, "reference designator")) return;
    if (w.size() < 3 || Frame().noFileChecks) return;
    const std::string refdes(w[0]);
    const std::string file(w[1]);
    // The component name is the rest of the line: component names may hold blanks.
    const std::string component(w[2].data());
    // What the named file defines: its components (or, for an .ebd file, its
    // board descriptions) with their pins.
    const bool board = file.size() > 4 && SameIgnoringCase(std::string_view(file).substr(file.size() - 4), ".ebd");
    const NamedFile& named = ReadNamedFile(file, board ? "[Begin Board Description]" : "[Component]",
                                           board ? "[Pin List]" : "[Pin]");
    if (named.problem != NamedFileProblem::kNone) {
        if (!ReportNamedFileProblem(named.problem, file, named.path, "Reference Designator Map", kNamedFileSizeLimit))
            ReportErrorAtLine(MSG_EBD_MAP_FILE_MISSING, refdes.c_str(), file.c_str());
        return;
    }
    if (const NamedEntry* defined = named.Find(component)) {
        b.components.emplace(refdes, defined);
        return;
    }
    ReportErrorAtLine(MSG_EBD_MAP_COMPONENT_MISSING, refdes.c_str(), file.c_str(),
                      board ? "board description" : "component", component.c_str());
}

void NumberOfPins(const char* line) {
    BoardState& b = Board();
    b.numberOfPins = true;
    b.declaredLine = CurrentLine();
    const std::string text = RestAfterKeyword(line);
    double n = 0;
    if (ReadNumber(text, &n) && n >= 1 && n <= kMaxCount && n == std::floor(n))
        b.declaredPins = static_cast<long>(n);
    else
        ReportErrorAtLine(MSG_EBD_NUMBER_OF_PINS, text.c_str());
}

void StartBoard(const char* line) {
    BoardEnd();
    BoardState& b = Board();
    b = BoardState{};
    b.open = true;
    b.name = RestAfterKeyword(line);
    b.line = CurrentLine();
    const auto [at, added] = File().boards.emplace(b.name, CurrentLine());
    if (!added)
        ReportErrorAtLine(MSG_XREF_DUPLICATE_NAME, "Begin Board Description", b.name.c_str(),
                          static_cast<int>(at->second));
}

}  // namespace

void BoardLine(const KeywordLine& l) {
    BoardState& b = Board();
    if (l.lineClass == kLineKeyword && l.code == KW_BEGIN_BOARD_DESCRIPTION) {
        StartBoard(l.line);
        return;
    }
    if (!b.open) return;
    if (l.lineClass == kLineKeyword) {
        if (l.code != KW_PATH_DESCRIPTION) EndPath();
        switch (l.code) {
            case KW_EBD_MANUFACTURER: b.manufacturer = true; break;
            case KW_EBD_NUMBER_OF_PINS: NumberOfPins(l.line); break;
            case KW_PIN_LIST: b.pinList = true; break;
            case KW_PATH_DESCRIPTION: PathKeyword(l.line); break;
            case KW_END_BOARD_DESCRIPTION: BoardEnd(); break;
            default: break;
        }
        return;
    }
    switch (l.code) {
        case KW_PIN_LIST: PinListData(l.line); break;
        case KW_PATH_DESCRIPTION: PathData(l.line); break;
        case KW_REFERENCE_DESIGNATOR_MAP: MapData(l.line); break;
        default: break;
    }
}

void BoardEnd() {
    BoardState& b = Board();
    if (!b.open) return;
    EndPath();
    b.open = false;
    const char* name = b.name.c_str();
    if (!b.manufacturer) ReportErrorAt(b.line, MSG_EBD_KEYWORD_MISSING, name, "Manufacturer");
    if (!b.numberOfPins) ReportErrorAt(b.line, MSG_EBD_KEYWORD_MISSING, name, "Number Of Pins");
    if (!b.pinList) ReportErrorAt(b.line, MSG_EBD_KEYWORD_MISSING, name, "Pin List");
    if (b.declaredPins >= 0 && b.pinList && static_cast<std::size_t>(b.declaredPins) != b.pins.size())
        ReportErrorAt(b.declaredLine, MSG_EBD_PIN_COUNT, name, static_cast<int>(b.declaredPins),
                      static_cast<int>(b.pins.size()));
    for (const PathPin& p : b.pathPins)
        if (b.pinList && !b.pinLines.count(p.pin))
            ReportErrorAt(p.line, MSG_EBD_PATH_UNKNOWN_PIN, p.path.c_str(), p.pin.c_str());
    for (const NodeRef& n : b.nodes) {
        if (!b.refdes.count(n.refdes)) {
            ReportErrorAt(n.line, MSG_EBD_UNMAPPED_REFDES, n.node.c_str(), n.refdes.c_str());
            continue;
        }
        const auto found = b.components.find(n.refdes);
        if (found == b.components.end()) continue;  // its file or component could not be read
        const std::string pin = n.node.substr(n.refdes.size() + 1);
        if (!found->second->HasPin(pin))
            ReportErrorAt(n.line, MSG_EBD_NODE_PIN, n.node.c_str(), found->second->name.c_str(), pin.c_str());
    }
}

void BoardReset() {
    Board() = BoardState{};
    File() = EbdFile{};
}

namespace {

void BoardCheckClose(const GroupEvent& e) {
    if (e.group == kGroupBoard) BoardEnd();
}

constexpr std::int32_t kBoardKeywords[] = {
    KW_BEGIN_BOARD_DESCRIPTION, KW_EBD_MANUFACTURER,         KW_EBD_NUMBER_OF_PINS,    KW_PIN_LIST,
    KW_PATH_DESCRIPTION,        KW_REFERENCE_DESIGNATOR_MAP, KW_END_BOARD_DESCRIPTION,
};

}  // namespace

const KeywordCheck kBoardCheck{
    .name = "board description",
    .keywords = kBoardKeywords,
    .onFileStart = BoardReset,
    .onLine = BoardLine,
    .onGroupClose = BoardCheckClose,
};
