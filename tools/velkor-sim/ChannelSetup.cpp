#include "tools/velkor-sim/ChannelSetup.h"

#include <cstdio>

#include "tools/velkor-sim/Cascade.h"
#include "tools/velkor-sim/ChannelChecks.h"
#include "tools/velkor-sim/Fft.h"
#include "tools/velkor-sim/InputFile.h"
#include "tools/velkor-sim/MixedMode.h"
#include "tools/velkor-sim/TouchstoneReader.h"

namespace sim {

namespace {

constexpr int kLossCurvePoints = 200;

std::string Ohms(double r) {
    char text[32];
    std::snprintf(text, sizeof text, "%g ohm", r);
    return text;
}

// Reads one Touchstone file into the 2-port it is used as, with its checks.
bool ReadPiece(const ChannelFile& file, TwoPort& piece, bool& differential, std::string& description, Channel& channel,
               std::string& error) {
    Network network;
    if (!ReadTouchstone(file.path, network, error)) return false;
    const std::string passivity = PassivityWarning(network, file.path);
    if (!passivity.empty()) channel.warnings.push_back(passivity);
    PortChoice choice;
    if (!ChoosePorts(network, file.ports, choice, error)) {
        error = Printable(file.path) + ": " + error;
        return false;
    }
    piece = UsedTwoPort(network, choice);
    differential = choice.ports.size() == 4;
    description = Printable(file.path) + " (" + std::to_string(network.ports) + "-port, Touchstone " +
                  (network.version == 2 ? "2.0" : "1") + ", " + DescribePorts(choice) + ", reference " +
                  Ohms(piece.reference) + ")";
    return true;
}

}  // namespace

bool BuildChannel(const ChannelRequest& request, double dt, double bitRate, Channel& channel, std::string& error) {
    channel = Channel{};
    if (request.files.empty()) {
        channel = BuiltInChannel(request.lossDb, bitRate, dt);
    } else {
        std::vector<TwoPort> pieces;
        std::vector<std::vector<double>> responses;  // of time-value files
        std::string names, what = "S21";
        for (const auto& file : request.files) {
            std::string description;
            if (IsTouchstoneName(file.path)) {
                pieces.emplace_back();
                bool differential = false;
                if (!ReadPiece(file, pieces.back(), differential, description, channel, error)) return false;
                if (differential) what = "SDD21";
            } else {
                if (!file.ports.empty()) {
                    error = "--ports is for Touchstone files, not the time-value file '" + Printable(file.path) + "'";
                    return false;
                }
                Channel part;
                if (!ChannelFromFile(file.path, request.stepResponse, dt, part, error)) return false;
                responses.push_back(part.taps);
                description = part.description;
            }
            names += (names.empty() ? "" : " then ") + description;
        }
        if (!pieces.empty()) {
            for (const auto& p : pieces)
                if (p.reference != pieces.front().reference)
                    channel.warnings.push_back("the cascaded files' reference impedances differ (" +
                                               Ohms(pieces.front().reference) + " and " + Ohms(p.reference) +
                                               "); they are joined as given");
            TwoPort joined = pieces.front();
            std::string note;
            if (pieces.size() > 1) {
                if (!CascadeAll(pieces, joined, note, error)) return false;
                channel.notes.push_back(note);
            }
            TransferSamples transfer{joined.frequency, {}};
            for (const auto& s : joined.s) transfer.value.push_back(s[2]);
            if (!CheckTransmission(transfer, what, request.files.front().path, error)) return false;
            FormedResponse formed = FormImpulseResponse(transfer, dt, bitRate, what);
            if (formed.taps.empty()) {
                error = formed.warnings.back();
                return false;
            }
            channel.taps = std::move(formed.taps);
            channel.loss = std::move(formed.loss);
            channel.notes.insert(channel.notes.end(), formed.notes.begin(), formed.notes.end());
            channel.warnings.insert(channel.warnings.end(), formed.warnings.begin(), formed.warnings.end());
        }
        for (const auto& r : responses) channel.taps = channel.taps.empty() ? r : ConvolveFull(channel.taps, r);
        if (channel.taps.size() > kMaxChannelTaps) {
            error = "the joined channel spans more than " + std::to_string(kMaxChannelTaps) + " samples";
            return false;
        }
        if (request.files.size() > 1 && !responses.empty())
            channel.notes.push_back("time-value responses are joined by convolution: reflections between the pieces "
                                    "are not modelled");
        channel.description = (pieces.empty() ? "" : what + " of ") + names;
    }
    channel.nyquistLossDb = LossDb(channel, bitRate / 2, dt);
    if (channel.loss.empty()) channel.loss = LossCurve(channel, 0.5 / dt, kLossCurvePoints, dt);
    return true;
}

}  // namespace sim
