// A model library that returns its input unchanged with an ideal clock: a rising
// edge at every bit boundary. With "(drop_edge N)" in its parameters it leaves out
// the clock edge of bit N, as a clock that slips by one bit would. With
// VELKOR_FAKE_KILL="COUNTER:FIRST:LAST" in the environment it counts the processes
// that load it in the file COUNTER and kills runs FIRST to LAST (1-based) with
// SIGKILL at their first AMI_Init, as the out-of-memory killer would. With
// VELKOR_FAKE_STALL="COUNTER:N:MARKER" the N-th process that loads it writes the
// file MARKER and waits in AMI_Init for up to a minute (a signal ends the wait),
// so that a test can stop a search while a run is under way.
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

struct PassThrough {
    long long sample = 0;
    long long samplesPerBit = 16;
    long long dropEdge = -1;
    double interval = 6.25e-12;
};

// Counts this process in the file `path`; the count including it.
long CountIn(const char* path) {
    long count = 0;
    if (FILE* in = std::fopen(path, "r")) {
        if (std::fscanf(in, "%ld", &count) != 1) count = 0;
        std::fclose(in);
    }
    ++count;
    if (FILE* out = std::fopen(path, "w")) {
        std::fprintf(out, "%ld\n", count);
        std::fclose(out);
    }
    return count;
}

bool counted = false;

void MaybeKill() {
    const char* setting = std::getenv("VELKOR_FAKE_KILL");
    if (!setting || counted) return;
    counted = true;
    char path[512];
    long first = 0, last = 0;
    if (std::sscanf(setting, "%511[^:]:%ld:%ld", path, &first, &last) != 3) return;
    const long count = CountIn(path);
    if (count >= first && count <= last) std::raise(SIGKILL);
}

bool stallCounted = false;

void MaybeStall() {
    const char* setting = std::getenv("VELKOR_FAKE_STALL");
    if (!setting || stallCounted) return;
    stallCounted = true;  // the process's first instance is its run; the pulse responses follow
    char path[512], marker[512];
    long which = 0;
    if (std::sscanf(setting, "%511[^:]:%ld:%511s", path, &which, marker) != 3) return;
    if (CountIn(path) != which) return;
    if (FILE* out = std::fopen(marker, "w")) std::fclose(out);
    sleep(60);  // returns early when a signal is caught
}

}  // namespace

extern "C" __attribute__((visibility("default"))) long AMI_Init(double*, long, long, double sampleInterval,
                                                                 double bitTime, char* parameters, char**,
                                                                 void** memory, char**) {
    MaybeKill();
    MaybeStall();
    auto* model = new PassThrough;
    model->interval = sampleInterval;
    model->samplesPerBit = static_cast<long long>(bitTime / sampleInterval + 0.5);
    if (const char* drop = parameters ? std::strstr(parameters, "(drop_edge ") : nullptr)
        if (std::sscanf(drop + 11, "%lld", &model->dropEdge) != 1 || model->dropEdge == 0) model->dropEdge = -1;
    *memory = model;
    return model->samplesPerBit > 0 ? 1 : 0;
}

extern "C" __attribute__((visibility("default"))) long AMI_GetWave(double*, long size, double* clockTimes, char**,
                                                                    void* memory) {
    auto* model = static_cast<PassThrough*>(memory);
    long count = 0;
    for (long i = 0; i < size; ++i, ++model->sample) {
        if (model->sample % model->samplesPerBit != 0) continue;
        if (model->sample / model->samplesPerBit == model->dropEdge) continue;
        clockTimes[count++] = static_cast<double>(model->sample) * model->interval;
    }
    clockTimes[count] = -1.0;
    return 1;
}

extern "C" __attribute__((visibility("default"))) long AMI_Close(void* memory) {
    delete static_cast<PassThrough*>(memory);
    return 1;
}
