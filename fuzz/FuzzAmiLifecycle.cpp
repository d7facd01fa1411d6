// Fuzz target: AMI_Init with any parameter string and timing, then AMI_GetWave on
// any sample values (NaN, infinities, huge values) in blocks of any size, then
// AMI_Close.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "ami/AmiModelInstance.h"

namespace {

template <typename T>
T Take(const std::uint8_t*& p, std::size_t& left) {
    T value{};
    const std::size_t n = left < sizeof(T) ? left : sizeof(T);
    std::memcpy(&value, p, n);
    p += n;
    left -= n;
    return value;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::uint8_t* p = data;
    std::size_t left = size;
    const std::uint8_t timing = Take<std::uint8_t>(p, left);
    const std::uint8_t samplesPerBit = Take<std::uint8_t>(p, left);
    const std::uint16_t blockSeed = Take<std::uint16_t>(p, left);
    // A length byte of 255 is followed by a 32-bit length: deeply nested strings.
    std::size_t parameterLength = Take<std::uint8_t>(p, left);
    if (parameterLength == 255) parameterLength = Take<std::uint32_t>(p, left);
    const std::size_t take = parameterLength < left ? parameterLength : left;
    std::string parameters(reinterpret_cast<const char*>(p), take);
    parameters = parameters.c_str();  // up to an embedded NUL, as the simulator hands it
    p += take;
    left -= take;

    // Mostly usable timing; now and then raw doubles from the input.
    double bitTime = 1e-10, sampleInterval = 1e-10 / (samplesPerBit % 40);
    if (timing & 0x80) {
        bitTime = Take<double>(p, left);
        sampleInterval = Take<double>(p, left);
    }
    std::vector<double> wave;
    while (left >= sizeof(double) && wave.size() < 20000) wave.push_back(Take<double>(p, left));

    void* memory = nullptr;
    char* message = nullptr;
    const long ok = ami::Init(nullptr, 0, 0, sampleInterval, bitTime, parameters.data(), nullptr, &memory, &message);
    if (message) (void)std::strlen(message);
    if (!memory) return 0;
    std::vector<double> times(wave.size() + 2);
    std::size_t pos = 0;
    const std::size_t block = 1 + blockSeed % 3000;
    while (pos < wave.size()) {
        const std::size_t n = wave.size() - pos < block ? wave.size() - pos : block;
        char* state = nullptr;
        const long result = ami::GetWave(wave.data() + pos, static_cast<long>(n), times.data(), &state, memory);
        if (ok == 1 && result != 1) __builtin_trap();  // a healthy instance never fails a call
        // A healthy instance reports its state as one closed parameter list.
        if (result == 1 && (!state || std::strncmp(state, "(Velkor_Rx (gain_code ", 22) != 0 ||
                            std::strcmp(state + std::strlen(state) - 2, "))") != 0))
            __builtin_trap();
        if (result == 1) {
            std::size_t k = 0;
            while (k < n + 1 && times[k] != -1.0) ++k;
            if (n > 0 && k >= n) __builtin_trap();  // the terminator is always delivered within the wave size
        }
        pos += n;
    }
    ami::GetWave(wave.data(), -1, times.data(), nullptr, memory);
    ami::Close(memory);
    return 0;
}
