// Runs a fuzz harness over files and folders of inputs without libFuzzer,
// so that the committed corpora (regression inputs included) are replayed
// by every ordinary and sanitizer test run. A failed check aborts.
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <algorithm>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size);
extern "C" __attribute__((weak)) int LLVMFuzzerInitialize(int *argc, char ***argv);

static void run_file(const std::filesystem::path &file) {
    std::ifstream in(file, std::ios::binary);
    std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)),
                               std::istreambuf_iterator<char>());
    if (!in.good() && !in.eof()) {
        fprintf(stderr, "cannot read %s\n", file.c_str());
        exit(2);
    }
    LLVMFuzzerTestOneInput(bytes.data(), bytes.size());
}

int main(int argc, char **argv) {
    if (LLVMFuzzerInitialize)
        LLVMFuzzerInitialize(&argc, &argv);
    int count = 0;
    for (int i = 1; i < argc; ++i) {
        std::filesystem::path arg(argv[i]);
        if (std::filesystem::is_directory(arg)) {
            std::vector<std::filesystem::path> files;
            for (const auto &entry : std::filesystem::directory_iterator(arg))
                if (entry.is_regular_file())
                    files.push_back(entry.path());
            std::sort(files.begin(), files.end());
            for (const auto &f : files) {
                run_file(f);
                ++count;
            }
        } else if (std::filesystem::is_regular_file(arg)) {
            run_file(arg);
            ++count;
        } else {
            fprintf(stderr, "no such input: %s\n", argv[i]);
            return 2;
        }
    }
    if (count == 0) {
        fprintf(stderr, "no inputs given\n");
        return 2;
    }
    printf("%d inputs passed\n", count);
    return 0;
}
