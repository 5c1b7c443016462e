// SPDX-License-Identifier: GPL-3.0-or-later
// Replays fuzz corpora in the ordinary build: every file of each folder
// given is fed once to the target's entry point, so that what the fuzzer
// once found stays mended. A finding traps or crashes here as it does under
// libFuzzer; the file at hand is named first.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);
extern "C" __attribute__((weak)) int LLVMFuzzerInitialize(int* argc, char*** argv);

namespace {

// The input in a buffer of exactly its size, as libFuzzer hands it over, so
// that a read past its end meets AddressSanitizer's redzone.
std::unique_ptr<uint8_t[]> ReadInput(const std::filesystem::path& path, size_t& size) {
    std::ifstream file(path, std::ios::binary);
    size = static_cast<size_t>(std::filesystem::file_size(path));
    std::unique_ptr<uint8_t[]> data(new uint8_t[size]);
    file.read(reinterpret_cast<char*>(data.get()), static_cast<std::streamsize>(size));
    return data;
}

}  // namespace

int main(int argc, char** argv) {
    if (LLVMFuzzerInitialize)
        LLVMFuzzerInitialize(&argc, &argv);
    std::vector<std::filesystem::path> inputs;
    for (int i = 1; i < argc; ++i)
        for (const auto& entry : std::filesystem::directory_iterator(argv[i]))
            if (entry.is_regular_file())
                inputs.push_back(entry.path());
    std::sort(inputs.begin(), inputs.end());
    if (inputs.empty()) {
        std::fprintf(stderr, "no inputs to replay\n");
        return 1;
    }
    for (const auto& path : inputs) {
        std::fprintf(stderr, "%s\n", path.c_str());
        size_t size = 0;
        const std::unique_ptr<uint8_t[]> data = ReadInput(path, size);
        LLVMFuzzerTestOneInput(data.get(), size);
    }
    std::printf("%zu inputs replayed\n", inputs.size());
    return 0;
}
