// Inflate throughput on a few MiB of text-like data, against zlib's inflate
// on the same compressed bytes in the same run.  Best of 20 runs each.

#include "inflate/inflate.h"

#include <chrono>
#include <cstdio>
#include <cstring>
#include <vector>

#ifdef HAVE_ZLIB
#include <zlib.h>
#endif

namespace {

// Content-stream-like text from a small vocabulary, with numbers.
std::vector<uint8_t> make_text(size_t n) {
    static const char* const words[] = {"BT ", "ET\n", "Tf ", "Td ", "Tj\n", "TJ\n", "/F1 ", "/F2 ", "q ",
                                        "Q\n", "cm ", "re ", "f\n", "(the) ", "(page) ", "(text) ", "(of) ",
                                        "(and) ", "[(Hello) -250 (world)] ", "0 ", "1 ", "12 ", "0.5 "};
    std::vector<uint8_t> out;
    out.reserve(n + 64);
    uint64_t s = 12345;
    while (out.size() < n) {
        s = s * 6364136223846793005ull + 1442695040888963407ull;
        uint64_t v = s >> 33;
        if (v % 5 == 0) {
            char num[16];
            int len = std::snprintf(num, sizeof num, "%u.%u ", unsigned(v % 612), unsigned(v / 7 % 100));
            out.insert(out.end(), num, num + len);
        } else {
            const char* w = words[v % (sizeof words / sizeof words[0])];
            out.insert(out.end(), w, w + std::strlen(w));
        }
    }
    out.resize(n);
    return out;
}

double seconds_since(std::chrono::steady_clock::time_point t0) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
}

}  // namespace

int main() {
#ifndef HAVE_ZLIB
    std::puts("bench_inflate: built without zlib, nothing to compare");
    return 0;
#else
    const size_t size = size_t(4) << 20;
    const int runs = 20;
    std::vector<uint8_t> data = make_text(size);

    uLongf zlen = compressBound(uLong(size));
    std::vector<uint8_t> z(zlen);
    if (compress2(z.data(), &zlen, data.data(), uLong(size), 6) != Z_OK) {
        std::puts("compress2 failed");
        return 1;
    }
    z.resize(zlen);
    std::vector<uint8_t> out(size);

    double best_ours = 1e9, best_zlib = 1e9;
    for (int i = 0; i < runs; i++) {
        auto t0 = std::chrono::steady_clock::now();
        uint64_t len = 0;
        int rc = pdftext::inflate_decompress(z.data(), z.size(), out.data(), out.size(), &len);
        double t = seconds_since(t0);
        if (rc != pdftext::INF_OK || len != size || std::memcmp(out.data(), data.data(), size) != 0) {
            std::printf("inflate_decompress: wrong result (%d, %llu bytes)\n", rc, (unsigned long long)len);
            return 1;
        }
        if (t < best_ours) best_ours = t;

        t0 = std::chrono::steady_clock::now();
        uLongf zout = uLongf(size);
        rc = uncompress(out.data(), &zout, z.data(), uLong(z.size()));
        t = seconds_since(t0);
        if (rc != Z_OK || zout != size) {
            std::puts("zlib uncompress failed");
            return 1;
        }
        if (t < best_zlib) best_zlib = t;
    }
    double mb = double(size) / 1e6;
    std::printf("data: %.1f MB of text, %.2f MB compressed (level 6), best of %d runs\n", mb,
                double(z.size()) / 1e6, runs);
    std::printf("inflate_decompress: %8.1f MB/s\n", mb / best_ours);
    std::printf("zlib uncompress:    %8.1f MB/s\n", mb / best_zlib);
    std::printf("ratio (ours / zlib): %.3f\n", best_zlib / best_ours);
    return 0;
#endif
}
