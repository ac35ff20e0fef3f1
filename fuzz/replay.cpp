// Replays each file named on the command line through the fuzz target, as
// libFuzzer does with files: a build without libFuzzer runs the committed
// corpus as a regression test, under its own compiler and sanitizers.
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

int main(int argc, char** argv)
{
    for (int i = 1; i < argc; ++i) {
        std::ifstream in(argv[i], std::ios::binary);
        if (!in) {
            std::fprintf(stderr, "cannot read %s\n", argv[i]);
            return 1;
        }
        std::vector<uint8_t> data((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        // Like libFuzzer, never a null pointer, even for an empty input.
        data.reserve(1);
        LLVMFuzzerTestOneInput(data.data(), data.size());
    }
    std::printf("%d inputs replayed\n", argc - 1);
    return 0;
}
