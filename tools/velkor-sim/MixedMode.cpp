#include "tools/velkor-sim/MixedMode.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <sstream>

namespace sim {

bool ParsePortList(const std::string& text, std::vector<int>& ports, std::string& error) {
    ports.clear();
    std::stringstream list(text);
    std::string item;
    while (std::getline(list, item, ',')) {
        char* end = nullptr;
        const long v = std::strtol(item.c_str(), &end, 10);
        if (item.empty() || *end != '\0' || v < 1 || v > kMaxTouchstonePorts) {
            error = "--ports needs port numbers from 1, e.g. 1,2 or 1,3,2,4; got '" + text + "'";
            return false;
        }
        ports.push_back(static_cast<int>(v));
    }
    std::vector<int> sorted = ports;
    std::sort(sorted.begin(), sorted.end());
    if ((ports.size() != 2 && ports.size() != 4) || std::adjacent_find(sorted.begin(), sorted.end()) != sorted.end()) {
        error = "--ports needs two different ports (input, output) or four (input +, input -, output +, output -); got '" +
                text + "'";
        return false;
    }
    return true;
}

namespace {

// Mean magnitude of S(i, j) over the lowest tenth of the points (at least one).
double LowFrequencyTransmission(const Network& n, int i, int j) {
    const std::size_t count = std::max<std::size_t>(1, n.frequency.size() / 10);
    double sum = 0;
    for (std::size_t k = 0; k < count; ++k) sum += std::abs(n.S(k, i, j)) + std::abs(n.S(k, j, i));
    return sum / static_cast<double>(2 * count);
}

}  // namespace

bool ChoosePorts(const Network& network, const std::vector<int>& asked, PortChoice& choice, std::string& error) {
    choice = PortChoice{};
    const int n = network.ports;
    if (!asked.empty()) {
        for (int p : asked)
            if (p > n) {
                error = "--ports names port " + std::to_string(p) + " of a " + std::to_string(n) + "-port file";
                return false;
            }
        for (int p : asked) choice.ports.push_back(p - 1);
        return true;
    }
    if (n == 2) {
        choice.ports = {0, 1};
        return true;
    }
    if (n != 4) {
        error = "a " + std::to_string(n) + "-port file needs --ports IN,OUT (or IN+,IN-,OUT+,OUT-)";
        return false;
    }
    // The through paths of a differential channel are its large low-frequency
    // transmissions: the pairing of the four ports with the largest sum wins.
    const int pairings[3][4] = {{0, 1, 2, 3}, {0, 2, 1, 3}, {0, 3, 1, 2}};  // (a, b) and (c, d) are throughs
    double best = -1;
    for (const auto& p : pairings) {
        const double t = LowFrequencyTransmission(network, p[0], p[1]) + LowFrequencyTransmission(network, p[2], p[3]);
        if (t > best) {
            best = t;
            choice.ports = {p[0], p[2], p[1], p[3]};  // inputs: the lower port of each through
        }
    }
    choice.fromData = true;
    return true;
}

TwoPort UsedTwoPort(const Network& network, const PortChoice& choice) {
    TwoPort t;
    t.frequency = network.frequency;
    t.s.resize(network.frequency.size());
    const auto& p = choice.ports;
    t.reference = network.reference[static_cast<std::size_t>(p[0])];
    if (p.size() == 2) {
        for (std::size_t k = 0; k < t.frequency.size(); ++k)
            t.s[k] = {network.S(k, p[0], p[0]), network.S(k, p[0], p[1]), network.S(k, p[1], p[0]), network.S(k, p[1], p[1])};
        return t;
    }
    // Differential mode of the pair (x+, x-) to the pair (y+, y-):
    // SDD = (S(y+,x+) - S(y+,x-) - S(y-,x+) + S(y-,x-)) / 2.
    t.reference *= 2;
    for (std::size_t k = 0; k < t.frequency.size(); ++k) {
        auto dd = [&](int yPlus, int yMinus, int xPlus, int xMinus) {
            return 0.5 * (network.S(k, yPlus, xPlus) - network.S(k, yPlus, xMinus) - network.S(k, yMinus, xPlus) +
                          network.S(k, yMinus, xMinus));
        };
        t.s[k] = {dd(p[0], p[1], p[0], p[1]), dd(p[0], p[1], p[2], p[3]), dd(p[2], p[3], p[0], p[1]),
                  dd(p[2], p[3], p[2], p[3])};
    }
    return t;
}

std::string DescribePorts(const PortChoice& choice) {
    const auto& p = choice.ports;
    std::string list;
    for (int port : p) list += (list.empty() ? "" : ",") + std::to_string(port + 1);
    std::string text = "ports " + list;
    if (p.size() == 4)
        text += " (differential: inputs " + std::to_string(p[0] + 1) + " and " + std::to_string(p[1] + 1) + ", outputs " +
                std::to_string(p[2] + 1) + " and " + std::to_string(p[3] + 1);
    else
        text += " (single-ended: input " + std::to_string(p[0] + 1) + ", output " + std::to_string(p[1] + 1);
    return text + (choice.fromData ? "; found from the low-frequency transmissions)" : ")");
}

}  // namespace sim
