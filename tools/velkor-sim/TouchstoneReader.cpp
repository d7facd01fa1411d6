#include "tools/velkor-sim/TouchstoneReader.h"

#include <cctype>
#include <cmath>
#include <cstdlib>
#include <fstream>
#include <sstream>

#include "tools/velkor-sim/Channel.h"
#include "tools/velkor-sim/InputFile.h"

namespace sim {

namespace {

constexpr double kPi = 3.141592653589793;

std::string Upper(std::string s) {
    for (char& c : s) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return s;
}

std::string Trim(const std::string& s) {
    const auto a = s.find_first_not_of(" \t\r");
    if (a == std::string::npos) return "";
    return s.substr(a, s.find_last_not_of(" \t\r") + 1 - a);
}

// The number of ports a name gives: N for .sNp, 0 for .ts or anything else.
int PortsFromName(const std::string& path) {
    const auto dot = path.find_last_of('.');
    if (dot == std::string::npos) return 0;
    const std::string ext = Upper(path.substr(dot + 1));
    if (ext.size() < 3 || ext.front() != 'S' || ext.back() != 'P') return 0;
    const std::string digits = ext.substr(1, ext.size() - 2);
    if (digits.empty() || digits.size() > 2 || digits.find_first_not_of("0123456789") != std::string::npos) return 0;
    const int n = std::atoi(digits.c_str());
    return n >= 1 && n <= kMaxTouchstonePorts ? n : 0;
}

struct Number {
    double value;
    int line;
    bool firstOnLine;
};

// The reader's state while it walks the file line by line.
class Reader {
public:
    Reader(std::string path, Network& network) : path_(std::move(path)), net_(network) {}

    bool Read(std::string& error);

private:
    std::string path_;
    Network& net_;
    std::string error_;
    int line_ = 0;
    int optionLine_ = 0;
    double unit_ = 1e9, resistance_ = 50;
    std::string format_ = "MA";
    int declaredPorts_ = 0, declaredFrequencies_ = -1;
    std::string twoPortOrder_, matrixFormat_ = "FULL";
    std::vector<double> references_;
    bool wantReference_ = false, inNetworkData_ = false, inNoiseData_ = false, inInformation_ = false, ended_ = false;
    std::vector<Number> numbers_;

    bool Fail(int line, const std::string& what) {
        error_ = Printable(path_) + ":" + std::to_string(line) + ": " + what;
        return false;
    }
    bool OptionLine(const std::string& text);
    bool Keyword(const std::string& text);
    bool Numbers(const std::string& text);
    bool Assemble();
    bool Value(const Number* at, std::complex<double>& value);
};

bool Reader::OptionLine(const std::string& text) {
    if (optionLine_)
        return Fail(line_, "a second option line (the first is on line " + std::to_string(optionLine_) +
                               "): the file must give its units and format once");
    optionLine_ = line_;
    std::istringstream fields(text.substr(1));
    std::string token;
    while (fields >> token) {
        const std::string t = Upper(token);
        if (t == "HZ") unit_ = 1;
        else if (t == "KHZ") unit_ = 1e3;
        else if (t == "MHZ") unit_ = 1e6;
        else if (t == "GHZ") unit_ = 1e9;
        else if (t == "MA" || t == "DB" || t == "RI") format_ = t;
        else if (t == "S") continue;
        else if (t == "R") {
            std::string value;
            char* end = nullptr;
            if (!(fields >> value) || (resistance_ = std::strtod(value.c_str(), &end), *end != '\0') ||
                !std::isfinite(resistance_) || resistance_ <= 0 || resistance_ > 1e9)
                return Fail(line_, "R needs a positive reference resistance in ohms");
        } else if (t == "Y" || t == "Z" || t == "H" || t == "G") {
            return Fail(line_, "only S-parameters are read, not '" + Printable(token) + "'");
        } else {
            return Fail(line_, "'" + Printable(token) + "' is no option of a Touchstone file (units, S, RI/MA/DB, R)");
        }
    }
    return true;
}

bool Reader::Keyword(const std::string& text) {
    const auto close = text.find(']');
    if (close == std::string::npos) return Fail(line_, "a keyword without its ']'");
    const std::string name = Upper(text.substr(1, close - 1));
    const std::string argument = Trim(text.substr(close + 1));
    auto integer = [&](int lo, int hi, int& out) {
        char* end = nullptr;
        const long v = std::strtol(argument.c_str(), &end, 10);
        if (argument.empty() || *end != '\0' || v < lo || v > hi)
            return Fail(line_, "[" + text.substr(1, close - 1) + "] needs a whole number from " + std::to_string(lo) +
                                   " to " + std::to_string(hi) + ", got '" + Printable(argument) + "'");
        out = static_cast<int>(v);
        return true;
    };
    if (inInformation_) {
        if (name == "END INFORMATION") inInformation_ = false;
        return true;
    }
    if (name == "VERSION") {
        if (argument != "2.0" && argument != "2.1")
            return Fail(line_, "[Version] " + Printable(argument) + " is not read; versions 2.0 and 2.1 are");
        net_.version = 2;
        return true;
    }
    if (net_.version != 2) return Fail(line_, "a keyword in a version 1 file; [Version] must come first");
    wantReference_ = false;
    if (name == "NUMBER OF PORTS") return integer(1, kMaxTouchstonePorts, declaredPorts_);
    if (name == "NUMBER OF FREQUENCIES") return integer(1, 100000000, declaredFrequencies_);
    if (name == "NUMBER OF NOISE FREQUENCIES") return true;
    if (name == "TWO-PORT DATA ORDER") {
        twoPortOrder_ = argument;
        if (argument != "12_21" && argument != "21_12")
            return Fail(line_, "[Two-Port Data Order] must be 12_21 or 21_12, got '" + Printable(argument) + "'");
        return true;
    }
    if (name == "MATRIX FORMAT") {
        matrixFormat_ = Upper(argument);
        if (matrixFormat_ != "FULL" && matrixFormat_ != "LOWER" && matrixFormat_ != "UPPER")
            return Fail(line_, "[Matrix Format] must be Full, Lower or Upper, got '" + Printable(argument) + "'");
        return true;
    }
    if (name == "REFERENCE") {
        wantReference_ = true;
        return argument.empty() || Numbers(argument);
    }
    if (name == "MIXED-MODE ORDER")
        return Fail(line_, "mixed-mode data are not read: give the single-ended S-parameters");
    if (name == "NETWORK DATA") {
        if (!optionLine_) return Fail(line_, "[Network Data] before the option line");
        inNetworkData_ = true;
        return true;
    }
    if (name == "NOISE DATA") {
        inNetworkData_ = false;
        inNoiseData_ = true;
        return true;
    }
    if (name == "BEGIN INFORMATION") {
        inInformation_ = true;
        return true;
    }
    if (name == "END") {
        ended_ = true;
        return true;
    }
    return Fail(line_, "unknown keyword [" + Printable(text.substr(1, close - 1)) + "]");
}

bool Reader::Numbers(const std::string& text) {
    std::istringstream fields(text);
    std::string token;
    bool first = true;
    while (fields >> token) {
        char* end = nullptr;
        const double v = std::strtod(token.c_str(), &end);
        if (end == token.c_str() || *end != '\0') return Fail(line_, "'" + Printable(token) + "' is not a number");
        if (!std::isfinite(v)) return Fail(line_, "'" + Printable(token) + "' is not a finite number");
        if (wantReference_) {
            if (!(v > 0) || v > 1e9) return Fail(line_, "a reference impedance must be a positive number of ohms");
            references_.push_back(v);
            continue;
        }
        numbers_.push_back({v, line_, first});
        first = false;
    }
    return true;
}

// One complex value from two numbers in the file's format, checked for sense.
bool Reader::Value(const Number* at, std::complex<double>& value) {
    const double a = at[0].value, b = at[1].value;
    const int line = at[0].line;
    if (format_ == "RI") {
        if (std::fabs(a) > kMaxParameterMagnitude || std::fabs(b) > kMaxParameterMagnitude)
            return Fail(line, "a value beyond 1e6 in magnitude is no S-parameter");
        value = {a, b};
        return true;
    }
    if (std::fabs(b) > kMaxAngleDegrees) return Fail(at[1].line, "an angle beyond 1e6 degrees");
    double magnitude = a;
    if (format_ == "DB") {
        if (a > 20 * std::log10(kMaxParameterMagnitude)) return Fail(line, "a value above 120 dB is no S-parameter");
        magnitude = std::pow(10.0, a / 20);
    } else if (a < 0 || a > kMaxParameterMagnitude) {
        return Fail(line, "a magnitude must lie between 0 and 1e6");
    }
    value = std::polar(magnitude, b * kPi / 180);
    return true;
}

bool Reader::Assemble() {
    const int fromName = PortsFromName(path_);
    int n = declaredPorts_;
    if (net_.version == 2) {
        if (!n) return Fail(line_, "a version 2 file needs [Number of Ports]");
        if (fromName && fromName != n)
            return Fail(line_, "[Number of Ports] says " + std::to_string(n) + " but the name says " +
                                   std::to_string(fromName));
        if (n == 2 && twoPortOrder_.empty()) return Fail(line_, "a 2-port version 2 file needs [Two-Port Data Order]");
    } else {
        n = fromName;
        if (!n) return Fail(line_, "the number of ports is not known: name a version 1 file .sNp (N ports)");
    }
    if (!optionLine_ && net_.version == 2) return Fail(line_, "no option line");
    net_.ports = n;
    const auto nn = static_cast<std::size_t>(n) * static_cast<std::size_t>(n);
    const bool triangle = matrixFormat_ != "FULL";
    const std::size_t perFrequency = 1 + (triangle ? static_cast<std::size_t>(n) * static_cast<std::size_t>(n + 1) : 2 * nn);
    net_.reference.assign(static_cast<std::size_t>(n), resistance_);
    if (!references_.empty()) {
        if (references_.size() != static_cast<std::size_t>(n))
            return Fail(line_, "[Reference] gives " + std::to_string(references_.size()) + " impedances for " +
                                   std::to_string(n) + " ports");
        net_.reference = references_;
    }
    // Data of one frequency start a line; a frequency that does not ascend on a
    // line of five numbers starts the noise data of a version 1 2-port file.
    std::size_t i = 0;
    int previousLine = 0;
    while (i < numbers_.size()) {
        const Number& f = numbers_[i];
        if (!f.firstOnLine)
            return Fail(f.line, "a frequency must start a line: the point that starts on line " +
                                    std::to_string(previousLine) + " does not hold the " + std::to_string(perFrequency) +
                                    " numbers of a " + std::to_string(n) + "-port point");
        previousLine = f.line;
        const double hz = f.value * unit_;
        if (!net_.frequency.empty() && !(hz > net_.frequency.back())) {
            std::size_t onLine = 0;
            for (std::size_t j = i; j < numbers_.size() && numbers_[j].line == f.line; ++j) ++onLine;
            if (net_.version == 1 && n == 2 && onLine == 5) break;
            return Fail(f.line, "frequencies must ascend");
        }
        if (hz < 0) return Fail(f.line, "a negative frequency");
        if (hz > kMaxFrequency) return Fail(f.line, "a frequency above 1e15 Hz");
        if (numbers_.size() - i < perFrequency)
            return Fail(f.line, std::to_string(numbers_.size() - i) + " numbers for the last frequency; a " +
                                    std::to_string(n) + "-port point holds " + std::to_string(perFrequency));
        for (std::size_t j = 1; j < perFrequency; ++j)
            if (numbers_[i + j].firstOnLine && numbers_[i + j].line != f.line && j % 2 == 0)
                return Fail(numbers_[i + j].line, "a line starts inside a complex value");
        net_.frequency.push_back(hz);
        const std::size_t base = net_.s.size();
        net_.s.resize(base + nn);
        const Number* v = &numbers_[i + 1];
        std::complex<double> value;
        if (!triangle) {
            for (int r = 0; r < n; ++r)
                for (int c = 0; c < n; ++c) {
                    if (!Value(v, value)) return false;
                    v += 2;
                    // A 2-port's version 1 order is S11 S21 S12 S22, and so is 2.0's 21_12.
                    int row = r, col = c;
                    if (n == 2 && (net_.version == 1 || twoPortOrder_ == "21_12")) std::swap(row, col);
                    net_.s[base + static_cast<std::size_t>(row * n + col)] = value;
                }
        } else {
            for (int r = 0; r < n; ++r)
                for (int c = matrixFormat_ == "LOWER" ? 0 : r; c <= (matrixFormat_ == "LOWER" ? r : n - 1); ++c) {
                    if (!Value(v, value)) return false;
                    v += 2;
                    net_.s[base + static_cast<std::size_t>(r * n + c)] = value;
                    net_.s[base + static_cast<std::size_t>(c * n + r)] = value;
                }
        }
        i += perFrequency;
    }
    if (declaredFrequencies_ >= 0 && static_cast<std::size_t>(declaredFrequencies_) != net_.frequency.size())
        return Fail(line_, "[Number of Frequencies] says " + std::to_string(declaredFrequencies_) + " but " +
                               std::to_string(net_.frequency.size()) + " are given");
    if (net_.frequency.size() < 2)
        return Fail(line_, "the file holds " + std::to_string(net_.frequency.size()) + " frequency of " +
                               std::to_string(n) + "-port data; at least two are needed");
    return true;
}

bool Reader::Read(std::string& error) {
    std::ifstream in;
    if (!OpenInputFile(path_, kMaxChannelFileBytes, "the Touchstone file", in, error)) return false;
    std::string text;
    while (std::getline(in, text)) {
        ++line_;
        const auto bang = text.find('!');
        if (bang != std::string::npos) text.erase(bang);
        text = Trim(text);
        if (text.empty() || ended_) continue;
        bool ok = true;
        if (text[0] == '[') ok = Keyword(text);
        else if (inInformation_ || inNoiseData_) continue;
        else if (text[0] == '#') ok = OptionLine(text);
        else if (net_.version == 2 && !inNetworkData_ && !wantReference_)
            ok = Fail(line_, "numbers outside [Network Data]");
        else ok = Numbers(text);
        if (!ok) {
            error = error_;
            return false;
        }
    }
    if (!Assemble()) {
        error = error_;
        return false;
    }
    return true;
}

}  // namespace

bool IsTouchstoneName(const std::string& path) {
    const auto dot = path.find_last_of('.');
    return PortsFromName(path) > 0 || (dot != std::string::npos && Upper(path.substr(dot + 1)) == "TS");
}

bool ReadTouchstone(const std::string& path, Network& network, std::string& error) {
    network = Network{};
    return Reader(path, network).Read(error);
}

}  // namespace sim
