// Writes small PDF files byte by byte for tests.
#pragma once

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace testpdf {

// Builds a classic PDF: header, objects in the order added, an xref table
// with correct offsets and a trailer naming /Root.
struct builder {
    std::string out = "%PDF-1.4\n%\xE2\xE3\xCF\xD3\n";
    std::vector<std::pair<int, size_t>> offs;

    // Adds "N 0 obj <body> endobj".
    builder& obj(int num, const std::string& body) {
        offs.push_back({num, out.size()});
        out += std::to_string(num) + " 0 obj\n" + body + "\nendobj\n";
        return *this;
    }
    // Adds a stream object with a correct /Length; `dict` is the inside of
    // the dictionary without the length.
    builder& stream(int num, const std::string& dict, const std::string& data) {
        return obj(num, "<< " + dict + " /Length " + std::to_string(data.size()) +
                            " >>\nstream\n" + data + "\nendstream");
    }
    // Appends raw bytes.
    builder& raw(const std::string& s) {
        out += s;
        return *this;
    }
    // Finishes with an xref table and a trailer (extra entries go into the
    // trailer dictionary).
    std::string finish(int root = 1, const std::string& extra = "") {
        size_t xref = out.size();
        int maxn = 0;
        for (auto& o : offs) maxn = o.first > maxn ? o.first : maxn;
        out += "xref\n0 " + std::to_string(maxn + 1) + "\n0000000000 65535 f \n";
        for (int n = 1; n <= maxn; n++) {
            size_t off = 0;
            bool found = false;
            for (auto& o : offs)
                if (o.first == n) { off = o.second; found = true; }
            char line[32];
            snprintf(line, sizeof line, "%010zu %05d %c \n", off, 0, found ? 'n' : 'f');
            out += line;
        }
        out += "trailer\n<< /Size " + std::to_string(maxn + 1) + " /Root " +
               std::to_string(root) + " 0 R " + extra + " >>\nstartxref\n" +
               std::to_string(xref) + "\n%%EOF\n";
        return out;
    }
};

// A one- or more-page document: catalog 1, pages 2, pages 3.. with the
// given content streams, all using font /F1 (Helvetica, the object after
// the last page's content) unless the caller passes its own resources.
inline std::string simple_doc(const std::vector<std::string>& contents,
                              std::string resources = "") {
    const int font_num = 3 + 2 * (int)contents.size();
    if (resources.empty()) resources = "<< /Font << /F1 " + std::to_string(font_num) + " 0 R >> >>";
    builder b;
    std::string kids;
    for (size_t i = 0; i < contents.size(); i++)
        kids += std::to_string(3 + 2 * i) + " 0 R ";
    b.obj(1, "<< /Type /Catalog /Pages 2 0 R >>");
    b.obj(2, "<< /Type /Pages /Kids [" + kids + "] /Count " +
                 std::to_string(contents.size()) + " >>");
    for (size_t i = 0; i < contents.size(); i++) {
        int p = 3 + 2 * (int)i;
        b.obj(p, "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 612 792] /Resources " +
                     resources + " /Contents " + std::to_string(p + 1) + " 0 R >>");
        b.stream(p + 1, "", contents[i]);
    }
    b.obj(font_num, "<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica >>");
    return b.finish();
}

// A temporary file that is removed when the object goes away.
struct temp_file {
    std::string path;
    explicit temp_file(const std::string& bytes, const char* suffix = ".pdf") {
        char tmpl[] = "/tmp/pdftext-test-XXXXXX";
        int fd = mkstemp(tmpl);
        if (fd < 0) abort();
        close(fd);
        path = std::string(tmpl) + suffix;
        rename(tmpl, path.c_str());
        FILE* f = fopen(path.c_str(), "wb");
        if (!f) abort();
        fwrite(bytes.data(), 1, bytes.size(), f);
        fclose(f);
    }
    temp_file(const temp_file&) = delete;
    temp_file& operator=(const temp_file&) = delete;
    ~temp_file() { remove(path.c_str()); }
    const char* c_str() const { return path.c_str(); }
};

}  // namespace testpdf
