// Loading benchmark: generated files with many objects, timed in-process.
//   bench_load            200,000 small objects in a classic file, and
//                         10 MB of "1 0 obj <<" (unterminated dictionaries)
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "doc/doc.h"

using namespace pdftext;

static double load_ms(const std::string& s, size_t* objs, int reps) {
    double best = 1e30;
    for (int r = 0; r < reps; r++) {
        uint8_t* p = (uint8_t*)malloc(s.size());
        memcpy(p, s.data(), s.size());
        doc d;
        auto t0 = std::chrono::steady_clock::now();
        doc_load_bytes(p, (int32_t)s.size(), "bench", &d);
        auto t1 = std::chrono::steady_clock::now();
        *objs = d.objs.size();
        double ms = std::chrono::duration<double, std::milli>(t1 - t0).count();
        if (ms < best) best = ms;
    }
    return best;
}

int main() {
    const int n = 200000;
    std::string s = "%PDF-1.4\n1 0 obj << /Type /Catalog /Pages 2 0 R >> endobj\n";
    std::string kids;
    for (int i = 0; i < n; i++) kids += std::to_string(10 + i) + " 0 R ";
    s += "2 0 obj << /Type /Pages /Kids [" + kids + "] /Count " + std::to_string(n) + " >> endobj\n";
    for (int i = 0; i < n; i++) {
        std::string data = "BT /F1 12 Tf (page " + std::to_string(i) + ") Tj ET";
        s += std::to_string(10 + i) + " 0 obj << /Type /Page /Parent 2 0 R /Contents " +
             std::to_string(10 + n + i) + " 0 R >> endobj\n";
        s += std::to_string(10 + n + i) + " 0 obj << /Length " + std::to_string(data.size()) +
             " >>\nstream\n" + data + "\nendstream\nendobj\n";
    }
    s += "trailer << /Root 1 0 R >>\n";
    size_t objs = 0;
    double ms = load_ms(s, &objs, 5);
    printf("classic file, %d pages, %zu objects, %.1f MB: %.1f ms\n", n, objs, s.size() / 1e6, ms);

    std::string u;
    while (u.size() < 10000000) u += "1 0 obj <<";
    u += " endobj";
    ms = load_ms(u, &objs, 3);
    printf("10 MB of \"1 0 obj <<\": %zu objects kept, %.1f ms\n", objs, ms);
    std::string v;
    while (v.size() < 10000000) v += "1 0 obj << (";
    v += " endobj";
    ms = load_ms(v, &objs, 3);
    printf("10 MB of \"1 0 obj << (\": %zu objects kept, %.1f ms\n", objs, ms);
    return 0;
}
