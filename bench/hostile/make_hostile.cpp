// Writes the hostile files of tests/hostile_files.h into a folder, one
// file per case, for bench/hostile/measure.
#include <cstdio>
#include <cstring>
#include <string>

#include "hostile_files.h"

int main(int argc, char** argv) {
    if (argc < 2) {
        fprintf(stderr, "usage: %s DIR [CASE...]\n", argv[0]);
        return 2;
    }
    for (const hostile::named_case& c : hostile::all_cases()) {
        bool wanted = argc == 2;
        for (int i = 2; i < argc; i++) wanted |= strcmp(argv[i], c.name) == 0;
        if (!wanted) continue;
        std::string bytes = c.make();
        std::string path = std::string(argv[1]) + "/" + c.name + ".pdf";
        FILE* f = fopen(path.c_str(), "wb");
        if (!f || fwrite(bytes.data(), 1, bytes.size(), f) != bytes.size() || fclose(f) != 0) {
            fprintf(stderr, "cannot write %s\n", path.c_str());
            return 1;
        }
        printf("%s %zu\n", c.name, bytes.size());
    }
    return 0;
}
