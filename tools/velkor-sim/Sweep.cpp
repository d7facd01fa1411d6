#include "tools/velkor-sim/Sweep.h"

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <sstream>

#include "tools/velkor-sim/KitParameters.h"
#include "tools/velkor-sim/Options.h"
#include "tools/velkor-sim/OutputFolder.h"
#include "tools/velkor-sim/PointRunner.h"
#include "tools/velkor-sim/RunConditions.h"
#include "tools/velkor-sim/StopSignals.h"
#include "tools/velkor-sim/SweepManifest.h"
#include "tools/velkor-sim/Report.h"

namespace sim {

namespace fs = std::filesystem;

namespace {

std::vector<std::string> Split(const std::string& text, char separator) {
    std::vector<std::string> parts;
    std::string part;
    std::istringstream in(text);
    while (std::getline(in, part, separator)) parts.push_back(part);
    if (!text.empty() && text.back() == separator) parts.emplace_back();
    return parts;
}

bool ParseInt(const std::string& text, int lo, int hi, int& value) {
    if (text.empty() || text.find_first_not_of("0123456789") != std::string::npos || text.size() > 9) return false;
    value = std::atoi(text.c_str());
    return value >= lo && value <= hi;
}

// Whether NAME is one of the run's own options rather than a model parameter.
bool IsRunOption(const std::string& name) {
    Options probe;
    std::string error, option = "--" + name, value = "1";
    char* argv[] = {option.data(), option.data(), value.data()};
    ParseOptions(3, argv, probe, error);
    return error.find("unknown option") == std::string::npos;
}

// The value after "key": in a metrics.json text: a string to its closing quote
// (escapes read), anything else up to the next comma or line end.
std::string JsonValue(const std::string& json, const std::string& key) {
    const std::string quoted = "\"" + key + "\": ";
    const auto p = json.find(quoted);
    if (p == std::string::npos) return "";
    const auto start = p + quoted.size();
    if (start < json.size() && json[start] == '"') {
        std::string v;
        for (std::size_t i = start + 1; i < json.size() && json[i] != '"'; ++i) {
            if (json[i] == '\\' && i + 1 < json.size()) {
                const char c = json[++i];
                if (c == 'u' && i + 4 < json.size()) {  // the control bytes metrics.json escapes
                    v += static_cast<char>(std::strtol(json.substr(i + 1, 4).c_str(), nullptr, 16));
                    i += 4;
                } else {
                    v += c;
                }
            } else {
                v += json[i];
            }
        }
        return v;
    }
    const auto end = json.find_first_of(",\n", start);
    return json.substr(start, end - start);
}

std::string CsvField(const std::string& v) {
    if (v.find_first_of(",\"\n") == std::string::npos) return v;
    std::string out = "\"";
    for (char c : v) out += c == '"' ? std::string("\"\"") : std::string(1, c);
    return out + "\"";
}

std::string CsvLine(const std::vector<std::string>& fields) {
    std::string line;
    for (std::size_t i = 0; i < fields.size(); ++i) line += (i ? "," : "") + CsvField(fields[i]);
    return line + "\n";
}

std::vector<std::string> ParseCsvLine(const std::string& line) {
    std::vector<std::string> fields(1);
    bool quoted = false;
    for (std::size_t i = 0; i < line.size(); ++i) {
        const char c = line[i];
        if (quoted) {
            if (c == '"' && i + 1 < line.size() && line[i + 1] == '"') fields.back() += '"', ++i;
            else if (c == '"') quoted = false;
            else fields.back() += c;
        } else if (c == '"') {
            quoted = true;
        } else if (c == ',') {
            fields.emplace_back();
        } else if (c != '\r') {
            fields.back() += c;
        }
    }
    return fields;
}

bool WriteText(const fs::path& path, const std::string& text, std::string& error) {
    std::ofstream out(path, std::ios::binary);
    out << text;
    out.flush();
    if (!out) {
        error = "cannot write '" + path.string() + "'";
        return false;
    }
    return true;
}

int Fail(const std::string& message, int status = 1) {
    std::fprintf(stderr, "velkor-sim: %s\n", message.c_str());
    return status;
}

}  // namespace

std::string MetricsValue(const std::string& json, const std::string& key) { return JsonValue(json, key); }

std::string ReadText(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

const char* SweepUsage() {
    return "usage: velkor-sim sweep --grid NAME=V1,V2,... [--grid ...] [--jobs N] [--shard K/N] --out DIR [run options]\n"
           "Runs every point of the product grid, each as its own velkor-sim run writing DIR/points/<id>/\n"
           "(metrics.json, report.html, run.log), then DIR/sweep.csv (one row per point) and DIR/report.html.\n"
           "  --grid NAME=V1,V2,...  a run option without its dashes (loss, ppm, noise, sj, ...) or a model\n"
           "                         parameter of the .ami (CDR_Threshold, corner, ...); repeatable\n"
           "  --jobs N               points run at once on this machine (default 1)\n"
           "  --shard K/N            run only points K-1, K-1+N, K-1+2N ... (1 <= K <= N), for spreading a\n"
           "                         sweep over machines; join the outputs with velkor-sim merge\n"
           "  --out DIR              output folder (required)\n"
           "Every other option is passed to each point (see velkor-sim --help); every point uses the same\n"
           "--seed, so a point's figures depend on its values alone, never on the shard or the job count.\n"
           "\n"
           "usage: velkor-sim merge DIR... --out DIR [--partial]\n"
           "Joins the sweep.csv of shard outputs into one sweep.csv, sorted by point, and writes its report.\n"
           "The shards must come from one sweep (version, grid and run options, from each folder's\n"
           "sweep-manifest.txt) and together hold every point of the grid; --partial joins an incomplete\n"
           "set anyway, naming the missing points in the report.\n";
}

bool ParseSweepOptions(int argc, char** argv, SweepOptions& o, std::string& error) {
    for (int i = 0; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--help" || arg == "-h") {
            o.help = true;
            return true;
        }
        std::string name = arg, value;
        const bool own = arg == "--grid" || arg == "--jobs" || arg == "--shard" || arg == "--out" ||
                         arg.rfind("--grid=", 0) == 0 || arg.rfind("--jobs=", 0) == 0 || arg.rfind("--shard=", 0) == 0 ||
                         arg.rfind("--out=", 0) == 0;
        if (!own) {
            o.runArguments.push_back(arg);
            continue;
        }
        const auto eq = arg.find('=');
        if (eq != std::string::npos) {
            name = arg.substr(0, eq);
            value = arg.substr(eq + 1);
        } else if (i + 1 < argc) {
            value = argv[++i];
        } else {
            error = "option " + arg + " needs a value";
            return false;
        }
        if (name == "--out") {
            o.outDir = value;
        } else if (name == "--jobs") {
            if (!ParseInt(value, 1, 256, o.jobs)) {
                error = "option --jobs needs a whole number from 1 to 256, got '" + value + "'";
                return false;
            }
        } else if (name == "--shard") {
            const auto slash = value.find('/');
            if (slash == std::string::npos || !ParseInt(value.substr(0, slash), 1, 1000000, o.shard) ||
                !ParseInt(value.substr(slash + 1), 1, 1000000, o.shards) || o.shard > o.shards) {
                error = "option --shard needs K/N with 1 <= K <= N (e.g. 1/4), got '" + value + "'";
                return false;
            }
        } else {  // --grid
            const auto at = value.find('=');
            GridAxis axis;
            axis.name = at == std::string::npos ? "" : value.substr(0, at);
            if (at != std::string::npos) axis.values = Split(value.substr(at + 1), ',');
            const bool emptyValue = std::any_of(axis.values.begin(), axis.values.end(), [](const std::string& v) { return v.empty(); });
            if (axis.name.empty() || axis.values.empty() || emptyValue || axis.name.find_first_of(" ,\"") != std::string::npos) {
                error = "option --grid needs NAME=V1,V2,... with a name and no empty value, got '" + value + "'";
                return false;
            }
            for (const auto& other : o.grid)
                if (other.name == axis.name) {
                    error = "--grid names '" + axis.name + "' twice";
                    return false;
                }
            if (axis.name == "out" || axis.name == "help") {
                error = "--grid cannot sweep '" + axis.name + "'";
                return false;
            }
            o.grid.push_back(axis);
        }
    }
    if (o.grid.empty()) {
        error = "a sweep needs at least one --grid NAME=V1,V2,...";
        return false;
    }
    if (o.outDir.empty()) {
        error = "a sweep needs --out DIR";
        return false;
    }
    return true;
}

std::vector<std::string> PointArguments(const SweepOptions& o, const std::vector<std::string>& values) {
    std::vector<std::string> args = o.runArguments;
    for (std::size_t k = 0; k < o.grid.size() && k < values.size(); ++k) {
        if (IsRunOption(o.grid[k].name)) {
            args.push_back("--" + o.grid[k].name);
            args.push_back(values[k]);
        } else {
            args.push_back("--param");
            args.push_back(o.grid[k].name + "=" + values[k]);
        }
    }
    return args;
}

std::vector<std::string> SweepFigureNames() {
    return {"status",        "locked",         "lock_bits",          "bits_compared",        "bit_errors",
            "slips",         "ber",            "ber_high",           "eye_height",           "eye_width_ui",
            "clock_period_mean", "tracking_error_rms_ui", "final_gain_code"};
}

std::vector<std::string> SweepFigures(const std::string& json) {
    std::vector<std::string> figures;
    for (const auto& name : SweepFigureNames())
        if (name != "status") {
            const std::string value = JsonValue(json, name);
            figures.push_back(value == "null" ? "" : value);  // not measured: an empty field, never 0
        }
    return figures;
}

namespace {

// Every value is checked before anything runs: a bad value is a usage error
// now, not a failed point an hour later. Each value of each axis once; then the
// combinations of the run options, which limit one another (bits and samples
// per bit, SJ against the bit rate ...), point by point without a list.
int CheckGrid(const SweepOptions& o, const std::string& self) {
    auto parse = [&](const std::vector<std::string>& arguments, Options& run, std::string& error) {
        std::vector<std::string> args = arguments;
        args.insert(args.begin(), self);
        std::vector<char*> argv;
        for (auto& a : args) argv.push_back(a.data());
        return ParseOptions(static_cast<int>(argv.size()), argv.data(), run, error);
    };
    Options base;
    std::string error;
    if (!parse(o.runArguments, base, error)) return Fail(error, 2);
    if (!base.outDir.empty()) return Fail("--out is the sweep's own option: give it once, for the sweep", 2);
    ModelParameters model;
    if (!ReadAmiDefaults(base.ami, model, error)) return Fail(error);
    if (!ApplyOverrides(model, base.params, error)) return Fail(error, 2);
    std::vector<std::size_t> runAxes;
    for (std::size_t k = 0; k < o.grid.size(); ++k) {
        const bool runOption = IsRunOption(o.grid[k].name);
        if (runOption) runAxes.push_back(k);
        for (const auto& v : o.grid[k].values) {
            Options run;
            ModelParameters m = model;
            const std::vector<std::string> one = runOption ? std::vector<std::string>{"--" + o.grid[k].name, v}
                                                           : std::vector<std::string>{"--param", o.grid[k].name + "=" + v};
            std::vector<std::string> args = o.runArguments;
            args.insert(args.end(), one.begin(), one.end());
            if (!parse(args, run, error)) return Fail(error, 2);
            if (o.grid[k].name == "ami" && !ReadAmiDefaults(run.ami, m, error)) return Fail(error);
            if (!ApplyOverrides(m, run.params, error)) return Fail(error, 2);
        }
    }
    // The run options' combinations, counted like the grid's points.
    std::uint64_t combinations = 1;
    for (const std::size_t k : runAxes) combinations *= o.grid[k].values.size();
    if (runAxes.size() < 2) return 0;
    for (std::uint64_t c = 0; c < combinations; ++c) {
        std::vector<std::string> args = o.runArguments;
        std::uint64_t rest = c;
        for (std::size_t j = runAxes.size(); j-- > 0;) {
            const auto& axis = o.grid[runAxes[j]];
            args.push_back("--" + axis.name);
            args.push_back(axis.values[static_cast<std::size_t>(rest % axis.values.size())]);
            rest /= axis.values.size();
        }
        Options run;
        if (!parse(args, run, error)) return Fail(error, 2);
    }
    return 0;
}

}  // namespace

int RunSweep(const SweepOptions& o, const std::string& self) {
    Grid grid;
    std::string error;
    if (!grid.Set(o.grid, error)) return Fail(error, 2);
    if (const int status = CheckGrid(o, self)) return status;
    const fs::path out = fs::absolute(o.outDir);
    FolderLock lock;
    if (!lock.Acquire(out.string(), error)) return Fail(error);
    CatchStopSignals();
    // The table of an earlier sweep in this folder goes first: it would describe other points.
    std::error_code ec;
    for (const char* stale : {"sweep.csv", "report.html", kManifestFile}) fs::remove(out / stale, ec);
    fs::create_directories(out / "points", ec);
    if (ec) return Fail("cannot create the folder '" + (out / "points").string() + "': " + ec.message());
    SweepManifest manifest{ToolVersion(), o.grid, o.runArguments, o.shard, o.shards};
    if (!WriteText(out / kManifestFile, ManifestText(manifest), error)) return Fail(error);

    // This shard's points: k-1, k-1+N, ... enumerated as they are started.
    const auto shards = static_cast<std::uint64_t>(o.shards);
    const auto first = static_cast<std::uint64_t>(o.shard - 1);
    std::vector<std::string> runOption(o.grid.size());
    std::map<std::uint64_t, int> status;
    PointRunner runner(self);
    std::map<long, std::uint64_t> running;
    std::uint64_t next = first;
    while ((next < grid.Size() && !runner.Stopped()) || runner.Running() > 0) {
        while (next < grid.Size() && !runner.Stopped() && runner.Running() < static_cast<std::size_t>(o.jobs)) {
            const std::uint64_t k = next;
            next += shards;
            const fs::path folder = out / "points" / grid.Id(k);
            const long child = runner.Start(PointArguments(o, grid.Point(k)), folder.string(), error);
            if (child < 0) {
                Fail(error);
                status[k] = 1;
                continue;
            }
            running[child] = k;
        }
        long done = 0;
        int code = 0;
        if (!runner.Wait(done, code)) break;
        const auto it = running.find(done);
        if (it == running.end()) continue;
        status[it->second] = code;
        std::fprintf(stderr, "point %s: %s\n", grid.Id(it->second).c_str(),
                     code == 0 ? "done" : ("failed, status " + std::to_string(code)).c_str());
        running.erase(it);
    }

    std::vector<std::string> header{"point"};
    for (const auto& axis : o.grid) header.push_back(axis.name);
    for (const auto& name : SweepFigureNames()) header.push_back(name);
    std::vector<std::vector<std::string>> rows;
    std::string csv = CsvLine(header);
    int failed = 0;
    for (const auto& [k, code] : status) {
        const std::string id = grid.Id(k);
        std::vector<std::string> row{id};
        const auto values = grid.Point(k);
        row.insert(row.end(), values.begin(), values.end());
        row.push_back(std::to_string(code));
        // A failed or stopped point has no figures, whatever its folder holds.
        const auto figures = code == 0 ? SweepFigures(ReadText((out / "points" / id / "metrics.json").string()))
                                       : std::vector<std::string>(SweepFigureNames().size() - 1);
        row.insert(row.end(), figures.begin(), figures.end());
        failed += code != 0;
        csv += CsvLine(row);
        rows.push_back(row);
    }
    const std::uint64_t mine = (grid.Size() - first + shards - 1) / shards;
    if (!WriteText(out / "sweep.csv", csv, error) ||
        !WriteText(out / "report.html", SweepReportHtml(header, rows, o.grid.size(), RunConditions(o.runArguments, out)),
                   error))
        return Fail(error);
    std::printf("Sweep:      %zu of %llu points (shard %d/%d), %d failed\n", rows.size(),
                static_cast<unsigned long long>(grid.Size()), o.shard, o.shards, failed);
    if (runner.Stopped())
        std::printf("Stopped:    by %s after %zu of this shard's %llu points; the table holds those\n",
                    StopSignalName(runner.Stopped()), rows.size(), static_cast<unsigned long long>(mine));
    std::printf("Table:      %s\n", (out / "sweep.csv").string().c_str());
    std::fflush(stdout);
    if (runner.Stopped()) return 128 + runner.Stopped();
    return failed ? 1 : 0;
}

int RunMerge(int argc, char** argv) {
    std::vector<std::string> inputs;
    std::string outDir;
    bool partial = false;
    for (int i = 0; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--help" || arg == "-h") {
            std::fputs(SweepUsage(), stdout);
            return 0;
        }
        if (arg == "--out") {
            if (i + 1 >= argc) return Fail("option --out needs a value", 2);
            outDir = argv[++i];
        } else if (arg.rfind("--out=", 0) == 0) {
            outDir = arg.substr(6);
        } else if (arg == "--partial") {
            partial = true;
        } else if (arg.rfind("--", 0) == 0) {
            return Fail("unknown option '" + arg + "' for merge (see velkor-sim merge --help)", 2);
        } else {
            inputs.push_back(arg);
        }
    }
    if (inputs.empty() || outDir.empty()) return Fail("merge needs DIR... and --out DIR", 2);
    // Only shards of one sweep: the same version, grid and run options.
    SweepManifest sweep;
    std::string error;
    for (std::size_t k = 0; k < inputs.size(); ++k) {
        SweepManifest m;
        if (!ReadManifest((fs::path(inputs[k]) / kManifestFile).string(), m, error)) return Fail(error);
        if (k == 0) sweep = m;
        else if (const std::string why = ManifestDifference(sweep, m); !why.empty())
            return Fail("'" + inputs[k] + "' is not a shard of the same sweep as '" + inputs.front() + "': " + why);
    }
    Grid grid;
    if (!grid.Set(sweep.grid, error)) return Fail(inputs.front() + ": " + error);
    std::vector<std::string> header;
    std::map<std::string, std::vector<std::string>> rows;  // by point id, which sorts as the grid's order
    for (const auto& dir : inputs) {
        std::ifstream in(fs::path(dir) / "sweep.csv");
        if (!in) return Fail("cannot read '" + (fs::path(dir) / "sweep.csv").string() + "'");
        std::string line;
        std::getline(in, line);
        const auto h = ParseCsvLine(line);
        if (header.empty()) header = h;
        if (h != header) return Fail("'" + dir + "/sweep.csv' has other columns than '" + inputs.front() + "/sweep.csv': not the same sweep");
        while (std::getline(in, line)) {
            if (line.empty()) continue;
            auto row = ParseCsvLine(line);
            if (row.size() != header.size()) return Fail("'" + dir + "/sweep.csv' has a row of " + std::to_string(row.size()) + " fields, not " + std::to_string(header.size()));
            const auto [it, fresh] = rows.emplace(row.front(), row);
            if (!fresh && it->second != row) return Fail("point " + row.front() + " appears twice with different figures (in '" + dir + "')");
        }
    }
    const auto figures = SweepFigureNames();
    const auto fixedColumns = 1 + figures.size();
    if (header.size() != fixedColumns + grid.Axes().size() || header.front() != "point")
        return Fail("'" + inputs.front() + "/sweep.csv' is not the table its manifest describes");
    // Every point of the grid, once: name what is missing and which shard runs it.
    std::vector<std::string> missing;
    std::size_t missingCount = 0;
    for (std::uint64_t k = 0; k < grid.Size(); ++k)
        if (!rows.count(grid.Id(k)) && ++missingCount <= 10)
            missing.push_back(grid.Id(k) + " (shard " + std::to_string(k % static_cast<std::uint64_t>(sweep.shards) + 1) +
                              "/" + std::to_string(sweep.shards) + ")");
    std::string missingText;
    for (const auto& m : missing) missingText += (missingText.empty() ? "" : ", ") + m;
    if (missingCount > missing.size()) missingText += " and " + std::to_string(missingCount - missing.size()) + " more";
    if (rows.size() + missingCount != grid.Size())
        return Fail("the tables hold points that are not in the grid of " + std::to_string(grid.Size()) + " points");
    if (missingCount && !partial)
        return Fail(std::to_string(missingCount) + " of the grid's " + std::to_string(grid.Size()) +
                    " points are in none of the folders: " + missingText + "; merge the missing shards too, or give "
                    "--partial to join what is there");
    std::string csv = CsvLine(header);
    std::vector<std::vector<std::string>> table;
    for (const auto& [id, row] : rows) {
        csv += CsvLine(row);
        table.push_back(row);
    }
    const fs::path out(outDir);
    std::error_code ec;
    fs::create_directories(out, ec);
    if (ec) return Fail("cannot create the folder '" + outDir + "': " + ec.message());
    std::string conditions = RunConditions(sweep.runArguments, fs::path(inputs.front()));
    if (missingCount) conditions += "\nPartial: " + std::to_string(missingCount) + " points missing: " + missingText;
    SweepManifest merged = sweep;
    merged.shard = merged.shards = 1;
    if (!WriteText(out / "sweep.csv", csv, error) ||
        !WriteText(out / "report.html", SweepReportHtml(header, table, header.size() - fixedColumns, conditions), error) ||
        (!missingCount && !WriteText(out / kManifestFile, ManifestText(merged), error)))
        return Fail(error);
    std::printf("Merged:     %zu of %llu points from %zu folders\n", table.size(),
                static_cast<unsigned long long>(grid.Size()), inputs.size());
    if (missingCount) std::printf("Missing:    %s\n", missingText.c_str());
    std::printf("Table:      %s\n", (out / "sweep.csv").string().c_str());
    return 0;
}

}  // namespace sim
