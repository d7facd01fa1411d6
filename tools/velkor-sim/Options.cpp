#include "tools/velkor-sim/Options.h"

#include "tools/velkor-sim/MixedMode.h"

#include <cmath>
#include <cstdlib>
#include <cstdio>
#include <cstring>

namespace sim {

namespace {

constexpr double kMaxBlock = 1 << 20;       // samples per AMI_GetWave call
constexpr double kMaxSamples = 4e9;         // in one run
constexpr double kMaxSampleRate = 1e13;     // samples per second: 0.1 ps steps

}  // namespace

bool ParseNumber(const std::string& text, double& value) {
    char* end = nullptr;
    value = std::strtod(text.c_str(), &end);
    if (end == text.c_str()) return false;
    // Engineering suffixes: 10G, 2.5k, 20m ...
    const std::string suffix(end);
    if (suffix == "G") value *= 1e9;
    else if (suffix == "M") value *= 1e6;
    else if (suffix == "k") value *= 1e3;
    else if (suffix == "m") value *= 1e-3;
    else if (suffix == "u") value *= 1e-6;
    else if (!suffix.empty()) return false;
    return std::isfinite(value);
}

const char* Usage() {
    return "usage: velkor-sim [options]\n"
           "       velkor-sim sweep --grid NAME=V1,V2,... [--jobs N] [--shard K/N] --out DIR [options]\n"
           "       velkor-sim merge DIR... --out DIR [--partial]\n"
           "       velkor-sim jtol --sj-freqs F1,F2,... --out DIR [--target-ber B] [--mask FILE] [options]\n"
           "       (each with --help for its own options)\n"
           "Drives the Velkor_Rx IBIS-AMI model as a channel simulator does: a PRBS bit stream\n"
           "through a lossy channel into AMI_Init / AMI_GetWave / AMI_Close, then reports lock,\n"
           "bit errors, the eye at the recovered clock and the equaliser's adaptation.\n"
           "\n"
           "Model:\n"
           "  --library PATH        model library to load (default: the one built with this tool)\n"
           "  --ami PATH            parameter-definition file whose defaults are used (default: kit/velkor_rx.ami)\n"
           "  --param NAME=VALUE    override one model parameter (repeatable)\n"
           "Stimulus:\n"
           "  --pattern N           PRBS-7, -15, -23 or -31 (7, 15, 23, 31 or PRBS-15; default 15)\n"
           "  --bits N              bits to simulate, up to 2e8 and 4e9 samples in all (default 200000)\n"
           "  --bit-rate R          bits per second, e.g. 10e9 or 10G (default 10G)\n"
           "  --samples-per-bit N   samples per unit interval, 5 to 1024 (default 16)\n"
           "  --amplitude V         NRZ amplitude at the transmitter, volts peak: levels +-V, 2V peak-to-peak\n"
           "                        (default 0.4)\n"
           "  --noise V             white Gaussian noise at the receiver input, volts rms within a bandwidth\n"
           "                        equal to the bit rate (0 to 10 GHz at 10G), whatever the samples per bit (default 0)\n"
           "  --seed N              seed of the noise and of the random and deterministic jitter (default 1)\n"
           "Transmitter (off by default):\n"
           "  --tx-ffe C1,C2,...    feed-forward taps one UI apart, e.g. -0.1,0.7,-0.2; the largest is the main\n"
           "                        cursor; scaled so that their magnitudes sum to 1\n"
           "  --rise-time T         20-80 % rise time of the transmitter's edges (Gaussian), e.g. 30e-12\n"
           "  --ppm X               frequency offset of the transmitter, ppm (positive: faster)\n"
           "  --ssc PPM             down-spread spread-spectrum clocking of that depth, triangular\n"
           "  --ssc-freq F          its modulation frequency (default 33k)\n"
           "  --sj UI@HZ            sinusoidal jitter, peak amplitude in UI at a frequency (repeatable)\n"
           "  --rj UI               random jitter, rms, Gaussian\n"
           "  --settle-bits N       the SJ starts after N bits, once the loop has acquired; bit errors are\n"
           "                        counted from there (default 0: SJ from the first bit)\n"
           "  --dj UI               deterministic jitter, peak-to-peak, uniform within +-DJ/2\n"
           "Channel:\n"
           "  --loss DB             loss of the built-in backplane trace at the Nyquist frequency (default 12)\n"
           "  --channel FILE        channel instead: a Touchstone file (.sNp or .ts, version 1 or 2.0) or a\n"
           "                        response as time-value pairs (impulse response in 1/s); repeatable:\n"
           "                        the pieces are cascaded in order\n"
           "  --ports LIST          ports of the --channel before it, from 1: IN,OUT or IN+,IN-,OUT+,OUT-\n"
           "                        (default: 1,2 for a 2-port, found from the data for a 4-port)\n"
           "  --step                the channel file holds a step response\n"
           "Run and output:\n"
           "  --block N             samples per AMI_GetWave call, 2 to 1048576 (default 1024)\n"
           "  --out DIR             write report.html, metrics.json, eye.svg and the adaptation log to DIR\n"
           "  --help                this text\n";
}

bool ParseOptions(int argc, char** argv, Options& o, std::string& error) {
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--help" || arg == "-h") {
            o.help = true;
            return true;
        }
        if (arg == "--step") {
            o.channel.stepResponse = true;
            continue;
        }
        if (arg.rfind("--", 0) != 0) {
            error = "unexpected argument '" + arg + "'";
            return false;
        }
        std::string name = arg, value;
        const auto eq = arg.find('=');
        if (eq != std::string::npos) {
            name = arg.substr(0, eq);
            value = arg.substr(eq + 1);
        } else {
            if (i + 1 >= argc) {
                error = "option " + arg + " needs a value";
                return false;
            }
            value = argv[++i];
        }
        double number = 0;
        auto needNumber = [&](double lo, double hi) {
            if (!ParseNumber(value, number) || number < lo || number > hi) {
                char range[96];
                std::snprintf(range, sizeof range, " needs a number from %.10g to %.10g", lo, hi);
                error = "option " + name + range + ", got '" + value + "'";
                return false;
            }
            return true;
        };
        // Counts: a fraction would be cut off without a word (a sweep's table would
        // then name a value the run did not use).
        auto needWhole = [&](double lo, double hi) {
            if (!ParseNumber(value, number) || number < lo || number > hi || number != std::floor(number)) {
                char range[96];
                std::snprintf(range, sizeof range, " needs a whole number from %.10g to %.10g", lo, hi);
                error = "option " + name + range + ", got '" + value + "'";
                return false;
            }
            return true;
        };
        if (name == "--library") o.library = value;
        else if (name == "--ami") o.ami = value;
        else if (name == "--param") o.params.push_back(value);
        else if (name == "--channel") o.channel.files.push_back({value, {}});
        else if (name == "--ports") {
            if (o.channel.files.empty()) {
                error = "--ports names the ports of the --channel before it";
                return false;
            }
            if (!ParsePortList(value, o.channel.files.back().ports, error)) return false;
        } else if (name == "--tx-ffe") {
            if (!ParseFfe(value, o.transmitter, error)) return false;
        } else if (name == "--rise-time") {
            if (!needNumber(0, 1e-6)) return false;
            o.transmitter.riseTime = number;
        }
        else if (name == "--out") o.outDir = value;
        else if (name == "--pattern") {
            std::string v = value;
            if (v.rfind("PRBS-", 0) == 0 || v.rfind("prbs-", 0) == 0) v = v.substr(5);
            if (v != "7" && v != "15" && v != "23" && v != "31") {
                error = "option --pattern needs PRBS-7, -15, -23 or -31, got '" + value + "'";
                return false;
            }
            o.pattern = std::atoi(v.c_str());
        } else if (name == "--bits") {
            if (!needWhole(1, 2e8)) return false;
            o.bits = static_cast<std::size_t>(number);
        } else if (name == "--bit-rate") {
            if (!needNumber(1e6, 1e12)) return false;
            o.bitRate = number;
        } else if (name == "--samples-per-bit") {
            if (!needWhole(5, 1024)) return false;
            o.samplesPerBit = static_cast<int>(number);
        } else if (name == "--amplitude") {
            if (!needNumber(1e-6, 100)) return false;
            o.amplitude = number;
        } else if (name == "--noise") {
            if (!needNumber(0, 100)) return false;
            o.noise = number;
        } else if (name == "--seed") {
            if (!needWhole(0, 4294967295.0)) return false;
            o.seed = static_cast<unsigned>(number);
        } else if (name == "--ppm") {
            if (!needNumber(-10000, 10000)) return false;
            o.impairments.ppm = number;
        } else if (name == "--ssc") {
            if (!needNumber(0, 50000)) return false;
            o.impairments.sscPpm = number;
        } else if (name == "--ssc-freq") {
            if (!needNumber(1, 1e9)) return false;
            o.impairments.sscFrequency = number;
        } else if (name == "--sj") {
            const auto at = value.find('@');
            double amplitude = 0, frequency = 0;
            if (at == std::string::npos || !ParseNumber(value.substr(0, at), amplitude) ||
                !ParseNumber(value.substr(at + 1), frequency) || amplitude < 0 || amplitude > 1000 || frequency <= 0 ||
                frequency > 1e12) {
                error = "option --sj needs UI@HZ, an amplitude from 0 to 1000 UI and a positive frequency (e.g. 0.3@1M), got '" +
                        value + "'";
                return false;
            }
            o.impairments.sj.push_back({amplitude, frequency});
        } else if (name == "--rj") {
            if (!needNumber(0, 0.3)) return false;
            o.impairments.rjUi = number;
        } else if (name == "--dj") {
            if (!needNumber(0, 1)) return false;
            o.impairments.djUi = number;
        } else if (name == "--loss") {
            if (!needNumber(0, 80)) return false;
            o.channel.lossDb = number;
        } else if (name == "--block") {
            if (!needWhole(1, kMaxBlock)) return false;
            // The model hands back at most as many clock times as the call has
            // samples, the -1 terminator included: one sample leaves no room for a time.
            if (number < 2) {
                error = "option --block needs at least 2 samples: a call of one sample has room only for the "
                        "clock-time list's terminator, so the model could never return a clock time";
                return false;
            }
            o.block = static_cast<long>(number);
        } else if (name == "--settle-bits") {
            if (!needWhole(0, 2e8)) return false;
            o.settleBits = static_cast<std::size_t>(number);
        } else {
            error = "unknown option '" + name + "' (see --help)";
            return false;
        }
    }
    // Bounds on the whole run, which single options cannot see.
    if (static_cast<double>(o.bits) * o.samplesPerBit > kMaxSamples) {
        char text[160];
        std::snprintf(text, sizeof text, "--bits %zu with --samples-per-bit %d asks for more than %g samples", o.bits,
                      o.samplesPerBit, kMaxSamples);
        error = text;
        return false;
    }
    if (o.bitRate * o.samplesPerBit > kMaxSampleRate) {
        char text[160];
        std::snprintf(text, sizeof text, "--bit-rate %g with --samples-per-bit %d asks for a sample interval below %g s",
                      o.bitRate, o.samplesPerBit, 1 / kMaxSampleRate);
        error = text;
        return false;
    }
    // Jitter faster than half the bit rate is not jitter of a bit stream.
    for (const auto& sj : o.impairments.sj)
        if (sj.frequency > o.bitRate / 2) {
            char text[160];
            std::snprintf(text, sizeof text, "--sj at %g Hz is above half the bit rate (%g Hz)", sj.frequency, o.bitRate / 2);
            error = text;
            return false;
        }
    // The modulation frequency matters only when a spread was asked for.
    if (o.impairments.sscPpm != 0 && o.impairments.sscFrequency > o.bitRate / 100) {
        error = "--ssc-freq must stay below a hundredth of the bit rate";
        return false;
    }
    if (o.settleBits >= o.bits) {
        error = "--settle-bits must be below --bits: errors are counted after the settling bits";
        return false;
    }
    o.impairments.sjStartTime = static_cast<double>(o.settleBits) / o.bitRate;
    return true;
}

}  // namespace sim
