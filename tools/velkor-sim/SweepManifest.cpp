#include "tools/velkor-sim/SweepManifest.h"

#include <cstdio>
#include <fstream>

namespace sim {

namespace {

constexpr const char* kFirstLine = "velkor-sim sweep manifest 1";

// One value per line: backslashes and line ends escaped.
std::string Escaped(const std::string& text) {
    std::string out;
    for (const char c : text) {
        if (c == '\\') out += "\\\\";
        else if (c == '\n') out += "\\n";
        else if (c == '\r') out += "\\r";
        else out += c;
    }
    return out;
}

std::string Unescaped(const std::string& text) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\\' || i + 1 == text.size()) {
            out += text[i];
            continue;
        }
        const char c = text[++i];
        out += c == 'n' ? '\n' : c == 'r' ? '\r' : c;
    }
    return out;
}

std::string Joined(const std::vector<std::string>& items) {
    std::string text;
    for (const auto& item : items) text += (text.empty() ? "" : " ") + item;
    return text;
}

}  // namespace

const char* ToolVersion() { return VELKOR_SIM_VERSION; }

std::string ManifestText(const SweepManifest& m) {
    std::string text = std::string(kFirstLine) + "\nversion " + Escaped(m.version) + "\n";
    for (const auto& axis : m.grid) {
        text += "axis " + Escaped(axis.name) + "\n";
        for (const auto& v : axis.values) text += "value " + Escaped(v) + "\n";
    }
    for (const auto& a : m.runArguments) text += "option " + Escaped(a) + "\n";
    text += "shard " + std::to_string(m.shard) + "/" + std::to_string(m.shards) + "\n";
    return text;
}

bool ReadManifest(const std::string& path, SweepManifest& m, std::string& error) {
    std::ifstream in(path, std::ios::binary);
    std::string line;
    if (!in || !std::getline(in, line) || line != kFirstLine) {
        error = "'" + path + "' is missing or not a sweep manifest: the folder was not written by this velkor-sim "
                "(sweeps of older versions have none; run them again)";
        return false;
    }
    int number = 1;
    bool shard = false;
    while (std::getline(in, line)) {
        ++number;
        const auto space = line.find(' ');
        const std::string key = line.substr(0, space);
        const std::string value = space == std::string::npos ? "" : Unescaped(line.substr(space + 1));
        if (key == "version") m.version = value;
        else if (key == "axis") m.grid.push_back({value, {}});
        else if (key == "value" && !m.grid.empty()) m.grid.back().values.push_back(value);
        else if (key == "option") m.runArguments.push_back(value);
        else if (key == "shard" && std::sscanf(value.c_str(), "%d/%d", &m.shard, &m.shards) == 2 && m.shard >= 1 &&
                 m.shard <= m.shards)
            shard = true;
        else {
            error = path + ":" + std::to_string(number) + ": not a line of a sweep manifest";
            return false;
        }
    }
    if (!shard || m.grid.empty()) {
        error = "'" + path + "' is incomplete: it names no grid or no shard";
        return false;
    }
    return true;
}

std::string ManifestDifference(const SweepManifest& a, const SweepManifest& b) {
    if (a.version != b.version) return "velkor-sim " + a.version + " against " + b.version;
    if (a.grid.size() != b.grid.size()) return "grids of " + std::to_string(a.grid.size()) + " and " +
                                                 std::to_string(b.grid.size()) + " axes";
    for (std::size_t k = 0; k < a.grid.size(); ++k)
        if (a.grid[k].name != b.grid[k].name || a.grid[k].values != b.grid[k].values)
            return "grid " + a.grid[k].name + "=" + Joined(a.grid[k].values) + " against " + b.grid[k].name + "=" +
                   Joined(b.grid[k].values);
    if (a.runArguments != b.runArguments)
        return "run options '" + Joined(a.runArguments) + "' against '" + Joined(b.runArguments) + "'";
    return "";
}

}  // namespace sim
