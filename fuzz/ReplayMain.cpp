// Runs a fuzz target once over every file in the given folders: the regression
// replay of the fuzz corpus, built with the ordinary compilers and sanitizers.
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);

int main(int argc, char** argv) {
    std::size_t files = 0;
    for (int i = 1; i < argc; ++i) {
        const std::filesystem::path root = argv[i];
        if (!std::filesystem::exists(root)) continue;
        std::vector<std::filesystem::path> inputs;
        if (std::filesystem::is_directory(root)) {
            for (const auto& e : std::filesystem::recursive_directory_iterator(root))
                if (e.is_regular_file()) inputs.push_back(e.path());
        } else {
            inputs.push_back(root);
        }
        for (const auto& path : inputs) {
            std::ifstream in(path, std::ios::binary);
            const std::vector<char> bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
            LLVMFuzzerTestOneInput(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size());
            ++files;
        }
    }
    std::printf("replayed %zu inputs\n", files);
    return 0;
}
