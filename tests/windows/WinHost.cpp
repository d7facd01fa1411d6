// A minimal Windows AMI host: loads velkor_rx.dll with LoadLibrary/GetProcAddress
// as a channel simulator does and runs one AMI_Init / AMI_GetWave / AMI_Close
// lifecycle on a waveform read from a file of raw doubles.
//
//   winhost DLL INPUT OUTPUT CLOCKS "PARAMETERS" [BLOCK]
//
// OUTPUT receives the equalised samples, CLOCKS every clock time, as raw doubles; the
// AMI_parameters_out text of the last AMI_GetWave goes to the standard output.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

typedef long (*InitFn)(double*, long, long, double, double, char*, char**, void**, char**);
typedef long (*GetWaveFn)(double*, long, double*, char**, void*);
typedef long (*CloseFn)(void*);

int main(int argc, char** argv) {
    if (argc < 6) {
        std::fprintf(stderr, "usage: winhost DLL INPUT OUTPUT CLOCKS PARAMETERS [BLOCK]\n");
        return 2;
    }
    HMODULE dll = LoadLibraryA(argv[1]);
    if (!dll) {
        std::fprintf(stderr, "winhost: cannot load %s (error %lu)\n", argv[1], GetLastError());
        return 1;
    }
    auto init = reinterpret_cast<InitFn>(reinterpret_cast<void*>(GetProcAddress(dll, "AMI_Init")));
    auto getWave = reinterpret_cast<GetWaveFn>(reinterpret_cast<void*>(GetProcAddress(dll, "AMI_GetWave")));
    auto close = reinterpret_cast<CloseFn>(reinterpret_cast<void*>(GetProcAddress(dll, "AMI_Close")));
    if (!init || !getWave || !close) {
        std::fprintf(stderr, "winhost: %s lacks an AMI entry point\n", argv[1]);
        return 1;
    }
    std::FILE* in = std::fopen(argv[2], "rb");
    if (!in) return 1;
    std::vector<double> wave;
    double v;
    while (std::fread(&v, sizeof v, 1, in) == 1) wave.push_back(v);
    std::fclose(in);
    const long block = argc > 6 ? std::atol(argv[6]) : 1024;

    std::string parameters = argv[5];
    void* memory = nullptr;
    char* message = nullptr;
    char* out = nullptr;
    if (init(nullptr, 0, 0, 6.25e-12, 1e-10, &parameters[0], &out, &memory, &message) != 1) {
        std::fprintf(stderr, "winhost: AMI_Init failed: %s\n", message ? message : "");
        return 1;
    }
    std::vector<double> times(static_cast<std::size_t>(block) + 1), clocks;
    for (std::size_t pos = 0; pos < wave.size(); pos += static_cast<std::size_t>(block)) {
        const long n = static_cast<long>(wave.size() - pos < static_cast<std::size_t>(block) ? wave.size() - pos : block);
        if (getWave(&wave[pos], n, &times[0], &out, memory) != 1) return 1;
        for (long k = 0; k <= n && times[k] != -1.0; ++k) clocks.push_back(times[k]);
    }
    if (out) std::printf("state %s\n", out);  // the state reported after the last block
    close(memory);
    FreeLibrary(dll);
    std::FILE* o = std::fopen(argv[3], "wb");
    std::FILE* c = std::fopen(argv[4], "wb");
    if (!o || !c) return 1;
    std::fwrite(wave.data(), sizeof(double), wave.size(), o);
    if (!clocks.empty()) std::fwrite(clocks.data(), sizeof(double), clocks.size(), c);
    std::fclose(o);
    std::fclose(c);
    return 0;
}
