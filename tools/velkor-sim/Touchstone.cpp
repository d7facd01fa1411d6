#include <algorithm>
#include <cctype>
#include <cmath>
#include <complex>
#include <fstream>
#include <sstream>

#include "tools/velkor-sim/Channel.h"
#include "tools/velkor-sim/Fft.h"
#include "tools/velkor-sim/InputFile.h"

namespace sim {

namespace {

constexpr double kPi = 3.141592653589793;

std::string Upper(std::string s) {
    for (char& c : s) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return s;
}

}  // namespace

bool ChannelFromTouchstone(const std::string& path, double dt, Channel& channel, std::string& error) {
    std::ifstream in;
    if (!OpenInputFile(path, kMaxChannelFileBytes, "the Touchstone file", in, error)) return false;
    double unit = 1e9, reference = 50;
    std::string format = "MA";
    std::vector<double> numbers;
    std::string line;
    int lineNumber = 0;
    while (std::getline(in, line)) {
        ++lineNumber;
        const auto bang = line.find('!');
        if (bang != std::string::npos) line.erase(bang);
        std::istringstream fields(line);
        std::string token;
        if (!line.empty() && line.find_first_not_of(" \t\r") != std::string::npos &&
            line[line.find_first_not_of(" \t\r")] == '#') {
            // Option line: frequency unit, parameter, format, reference resistance.
            fields >> token;  // '#'
            while (fields >> token) {
                const std::string t = Upper(token);
                if (t == "HZ") unit = 1;
                else if (t == "KHZ") unit = 1e3;
                else if (t == "MHZ") unit = 1e6;
                else if (t == "GHZ") unit = 1e9;
                else if (t == "MA" || t == "DB" || t == "RI") format = t;
                else if (t == "R") fields >> reference;
                else if (t != "S") {
                    error = Printable(path) + ":" + std::to_string(lineNumber) + ": only S-parameters are read, not '" +
                            Printable(token) + "'";
                    return false;
                }
            }
            continue;
        }
        std::size_t onLine = 0;
        while (fields >> token) {
            char* end = nullptr;
            const double v = std::strtod(token.c_str(), &end);
            if (end == token.c_str() || *end != '\0' || !std::isfinite(v)) {
                error = Printable(path) + ":" + std::to_string(lineNumber) + ": '" + Printable(token) + "' is not a number";
                return false;
            }
            numbers.push_back(v);
            ++onLine;
        }
        // A 2-port point sits on one line: the frequency and four complex numbers.
        if (onLine != 0 && onLine != 9) {
            error = Printable(path) + ":" + std::to_string(lineNumber) + ": " + std::to_string(onLine) +
                    " numbers; a 2-port line holds 9 (the frequency, then S11, S21, S12 and S22)";
            return false;
        }
    }
    // A 2-port point: f, S11, S21, S12, S22 (two numbers each).
    if (numbers.size() < 18 || numbers.size() % 9 != 0) {
        error = "the Touchstone file '" + Printable(path) + "' holds no 2-port data (9 numbers per frequency)";
        return false;
    }
    std::vector<double> f, mag, phase;
    for (std::size_t k = 0; k < numbers.size(); k += 9) {
        const double a = numbers[k + 3], b = numbers[k + 4];
        std::complex<double> s21;
        if (format == "RI") s21 = {a, b};
        else s21 = std::polar(format == "DB" ? std::pow(10.0, a / 20) : a, b * kPi / 180);
        if (!f.empty() && !(numbers[k] * unit > f.back())) {
            error = "the frequencies of the Touchstone file '" + Printable(path) + "' must ascend";
            return false;
        }
        f.push_back(numbers[k] * unit);
        mag.push_back(std::abs(s21));
        double p = std::arg(s21);
        if (!phase.empty()) p += 2 * kPi * std::round((phase.back() - p) / (2 * kPi));  // unwrap
        phase.push_back(p);
    }
    std::size_t n = 1;
    while (static_cast<double>(n) * dt < 50e-9) n <<= 1;
    const double df = 1.0 / (static_cast<double>(n) * dt);
    const double top = f.back(), taperFrom = 0.8 * top;
    std::vector<std::complex<double>> spectrum(n);
    std::size_t j = 0;
    for (std::size_t k = 0; k <= n / 2; ++k) {
        const double fk = static_cast<double>(k) * df;
        if (fk > top) break;
        std::complex<double> h;
        if (fk <= f.front()) {
            h = std::polar(mag.front(), phase.front() * fk / std::max(f.front(), 1e-30));  // towards a real DC value
        } else {
            while (j + 2 < f.size() && f[j + 1] < fk) ++j;
            const double w = (fk - f[j]) / (f[j + 1] - f[j]);
            h = std::polar(mag[j] + (mag[j + 1] - mag[j]) * w, phase[j] + (phase[j + 1] - phase[j]) * w);
        }
        if (fk > taperFrom) h *= 0.5 * (1 + std::cos(kPi * (fk - taperFrom) / (top - taperFrom)));
        spectrum[k] = h;
        if (k > 0 && k < n / 2) spectrum[n - k] = std::conj(h);
    }
    spectrum[0] = spectrum[0].real();
    Fft(spectrum, 1);
    channel.taps.assign(n, 0.0);
    for (std::size_t i = 0; i < n; ++i) channel.taps[i] = spectrum[i].real() / static_cast<double>(n);
    TrimTail(channel.taps);
    (void)reference;  // S21 needs no renormalisation for equal port references
    channel.description = "S21 of " + Printable(path);
    return true;
}

}  // namespace sim
