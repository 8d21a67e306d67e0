// In-process timing of the C interface over the benchmark corpus, one process
// for everything (no process start-up, no output).
//
//   inproc [-r R] [--big FILE --slice FILE --phrase P] FILE...
//
// Each of R repetitions (default 5) runs pdftext_extract_all once on every
// FILE in turn; then, with --big, pdftext_extract_all on the big document
// and on its slice, pdftext_extract_page of the big document's last page and
// pdftext_search of P over it.  Best times are printed, one record a line:
//
//   file NAME PAGES TEXT_BYTES SECONDS    best of one file
//   fail NAME MESSAGE                     extraction failed (no time)
//   total FILES SECONDS                   best pass over all FILEs
//   first FILES SECONDS                   the first pass (cold heap)
//   big_all PAGES SECONDS
//   slice_all PAGES SECONDS
//   page_last PAGE TEXT_BYTES SECONDS
//   search SECONDS JSON
//   big_fail NAME MESSAGE                 a call on the big document failed
//
// The file and fail records come in the order of the FILE arguments.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

// Linked with the static pdftext_internal library, so the header must not
// ask for DLL imports on Windows.
#define PDFTEXT_STATIC
#include "pdftext.h"

namespace {

using clock_type = std::chrono::steady_clock;

double since(clock_type::time_point t0) {
    return std::chrono::duration<double>(clock_type::now() - t0).count();
}

struct best_of {
    double s = 1e30;
    void add(double v) {
        if (v < s) s = v;
    }
    bool seen() const { return s < 1e29; }
};

// Text length of one extract_all call and its time; -1 on failure.
double time_all(const char* path, size_t* len) {
    auto t0 = clock_type::now();
    const char* text = pdftext_extract_all(path);
    double dt = since(t0);
    if (!text) return -1;
    *len = strlen(text);
    return dt;
}

int usage() {
    fputs("usage: inproc [-r R] [--big FILE --slice FILE --phrase P] FILE...\n", stderr);
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    int reps = 5;
    const char* big = nullptr;
    const char* slice = nullptr;
    const char* phrase = "from Trieste";
    std::vector<const char*> files;
    for (int i = 1; i < argc; i++) {
        auto value = [&]() -> const char* { return i + 1 < argc ? argv[++i] : nullptr; };
        if (!strcmp(argv[i], "-r")) {
            const char* v = value();
            reps = v ? atoi(v) : 0;
            if (reps < 1) return usage();
        } else if (!strcmp(argv[i], "--big")) {
            if (!(big = value())) return usage();
        } else if (!strcmp(argv[i], "--slice")) {
            if (!(slice = value())) return usage();
        } else if (!strcmp(argv[i], "--phrase")) {
            if (!(phrase = value())) return usage();
        } else if (argv[i][0] == '-') {
            return usage();
        } else {
            files.push_back(argv[i]);
        }
    }
    if (files.empty() && !big) return usage();
    if (!big != !slice) return usage();

    pdftext_init();
    std::vector<int> pages(files.size());
    std::vector<size_t> lens(files.size());
    std::vector<best_of> per_file(files.size());
    std::vector<std::string> failed(files.size());
    for (size_t i = 0; i < files.size(); i++) pages[i] = pdftext_page_count(files[i]);

    int big_pages = big ? pdftext_page_count(big) : 0;
    int slice_pages = slice ? pdftext_page_count(slice) : 0;
    if (big && (big_pages < 1 || slice_pages < 1)) {
        fprintf(stderr, "inproc: cannot count the pages of %s: %s\n", big_pages < 1 ? big : slice,
                pdftext_last_error());
        return 1;
    }
    double first_pass = -1;
    best_of total, big_all, slice_all, page_last, search;
    size_t last_len = 0;
    std::string json;
    bool big_failed = false;
    for (int r = 0; r < reps; r++) {
        auto t0 = clock_type::now();
        for (size_t i = 0; i < files.size(); i++) {
            size_t len = 0;
            double dt = time_all(files[i], &len);
            if (dt < 0) {
                failed[i] = pdftext_last_error();
                continue;
            }
            per_file[i].add(dt);
            lens[i] = len;
        }
        double pass = since(t0);
        total.add(pass);
        if (r == 0) first_pass = pass;
        if (!big) continue;

        size_t len = 0;
        double dt = time_all(big, &len);
        if (dt >= 0) big_all.add(dt);
        dt = time_all(slice, &len);
        if (dt >= 0) slice_all.add(dt);
        auto t1 = clock_type::now();
        const char* text = pdftext_extract_page(big, big_pages);
        dt = since(t1);
        if (text) {
            page_last.add(dt);
            last_len = strlen(text);
        }
        t1 = clock_type::now();
        json = pdftext_search(big, phrase);
        search.add(since(t1));
        if (!big_all.seen() || !slice_all.seen() || !page_last.seen()) big_failed = true;
    }

    bool any_failed = false;
    for (size_t i = 0; i < files.size(); i++) {
        if (!failed[i].empty() || !per_file[i].seen()) {
            printf("fail %s %s\n", files[i], failed[i].empty() ? "no result" : failed[i].c_str());
            any_failed = true;
        } else {
            printf("file %s %d %zu %.6f\n", files[i], pages[i], lens[i], per_file[i].s);
        }
    }
    if (!files.empty()) {
        printf("total %zu %.6f\n", files.size(), total.s);
        printf("first %zu %.6f\n", files.size(), first_pass);
    }
    if (big) {
        if (big_all.seen()) printf("big_all %d %.6f\n", big_pages, big_all.s);
        if (slice_all.seen()) printf("slice_all %d %.6f\n", slice_pages, slice_all.s);
        if (page_last.seen()) printf("page_last %d %zu %.6f\n", big_pages, last_len, page_last.s);
        printf("search %.6f %s\n", search.s, json.c_str());
        if (big_failed) printf("big_fail %s %s\n", big, pdftext_last_error());
    }
    pdftext_cleanup();
    return any_failed || big_failed ? 1 : 0;
}
