// Runs a fuzz target without a fuzzing engine: every file of the folders
// (or the files) named on the command line, in name order, goes once
// through LLVMFuzzerTestOneInput.  Used by ctest to replay the seed
// corpora in the normal and the sanitizer builds.
#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

namespace fs = std::filesystem;

int main(int argc, char** argv) {
    if (argc < 2) {
        fprintf(stderr, "usage: %s DIR|FILE...\n", argv[0]);
        return 2;
    }
    std::vector<fs::path> inputs;
    for (int i = 1; i < argc; i++) {
        std::error_code ec;
        fs::path p(argv[i]);
        if (fs::is_directory(p, ec)) {
            for (const auto& ent : fs::directory_iterator(p, ec))
                if (ent.is_regular_file()) inputs.push_back(ent.path());
        } else if (fs::is_regular_file(p, ec)) {
            inputs.push_back(p);
        } else {
            fprintf(stderr, "%s: no such file or folder\n", argv[i]);
            return 2;
        }
    }
    std::sort(inputs.begin(), inputs.end());
    double slowest = 0;
    std::string slowest_name;
    for (const fs::path& p : inputs) {
        std::ifstream in(p, std::ios::binary);
        std::vector<char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        if (!in.eof() && in.fail()) {
            fprintf(stderr, "%s: read error\n", p.string().c_str());
            return 2;
        }
        auto t0 = std::chrono::steady_clock::now();
        LLVMFuzzerTestOneInput(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
        double s = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
        if (s > slowest) {
            slowest = s;
            slowest_name = p.filename().string();
        }
    }
    printf("%zu inputs ran", inputs.size());
    if (!inputs.empty()) printf("; slowest %s (%.3f s)", slowest_name.c_str(), slowest);
    printf("\n");
    return 0;
}
