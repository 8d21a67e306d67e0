// pdftext: the command-line face of the library, with the options users
// know from pdftotext.
//
//   pdftext [options] FILE [OUT]     text of FILE to OUT (stdout without OUT or with -)
//   pdftext [options] FILE FILE...   text of each FILE to FILE's name with .txt
//
// Exit codes: 0 success, 1 a PDF cannot be opened, 2 an output cannot be
// written, 3 the PDF is encrypted, 99 any other error (a wrong command
// line, a page out of range).  With several files the code is that of the
// first file, in the order given, that failed.
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#if defined(_WIN32)
#include <fcntl.h>
#include <io.h>
#define isatty _isatty
#define fileno _fileno
#else
#include <unistd.h>
#endif

#include "pdftext.h"

namespace {

const char USAGE[] =
    "usage: pdftext [options] FILE [OUT]\n"
    "       pdftext [options] FILE FILE...\n"
    "\n"
    "Prints the text of a PDF file as UTF-8, pages separated by form feeds.\n"
    "Without OUT, or with OUT \"-\", the text goes to standard output.\n"
    "\n"
    "Several files: a second name is an input, not OUT, when it ends in .pdf\n"
    "(any case) or names a file that begins like a PDF; then, and with three\n"
    "or more names or -d, each text goes to the PDF's name with .pdf replaced\n"
    "by (or else followed by) .txt, in DIR when -d DIR is given.  No output\n"
    "ever goes to a name ending in .pdf.\n"
    "\n"
    "options:\n"
    "  -f N                    first page to print (default 1)\n"
    "  -l N                    last page to print (default the last page)\n"
    "  -p N, --page N          print only page N (same as -f N -l N)\n"
    "  -nopgbrk                no form feed between pages\n"
    "  -o OUT, --output OUT    write the text to OUT\n"
    "  -d DIR                  write each text into the folder DIR\n"
    "  -j N                    work on N files at once (default 1)\n"
    "  -q                      print no messages\n"
    "  --count                 print the number of pages\n"
    "  --search PHRASE         print the pages holding PHRASE as JSON\n"
    "                          (white space and ASCII case are ignored)\n"
    "  -v, --version           print the version\n"
    "  -h, --help              show this help\n"
    "\n"
    "exit codes: 0 success, 1 cannot open a PDF, 2 cannot write an output,\n"
    "3 encrypted PDF, 99 other error\n";

enum { EXIT_OK = 0, EXIT_OPEN = 1, EXIT_WRITE = 2, EXIT_ENCRYPTED = 3, EXIT_OTHER = 99 };

struct options {
    long first = 0, last = 0;  // 0 = not given
    bool page_breaks = true;
    bool quiet = false;
    bool count = false;
    const char* phrase = nullptr;
    const char* out = nullptr;
    const char* dir = nullptr;
    long jobs = 1;
};

std::mutex g_stderr;

void message(const options& o, const std::string& text) {
    if (o.quiet) return;
    std::lock_guard<std::mutex> lock(g_stderr);
    fprintf(stderr, "pdftext: %s\n", text.c_str());
}

// The exit code a failure of the library deserves, by its message.
int code_of(const char* msg) {
    if (!strncmp(msg, "encrypted PDFs", 14)) return EXIT_ENCRYPTED;
    static const char* const open_failures[] = {"cannot open ", "empty input file", "read error on ",
                                                 "no PDF objects found", "no pages found",
                                                 "document has no page tree", "broken page tree", "NULL path"};
    for (const char* p : open_failures)
        if (!strncmp(msg, p, strlen(p))) return EXIT_OPEN;
    if (!strncmp(msg, "cannot write ", 13) || !strncmp(msg, "write error on ", 15)) return EXIT_WRITE;
    return EXIT_OTHER;
}

int library_failure(const options& o, const char* what) {
    const char* msg = pdftext_last_error();
    message(o, *msg ? msg : what);
    return code_of(msg);
}

bool ends_with_pdf(const std::string& s) {
    if (s.size() < 4) return false;
    const char* e = s.c_str() + s.size() - 4;
    return e[0] == '.' && (e[1] | 32) == 'p' && (e[2] | 32) == 'd' && (e[3] | 32) == 'f';
}

// True when the file exists and "%PDF-" occurs in its first kilobyte.
bool looks_like_pdf(const char* path) {
    FILE* f = fopen(path, "rb");
    if (!f) return false;
    char b[1024];
    size_t n = fread(b, 1, sizeof b, f);
    fclose(f);
    for (size_t i = 0; i + 5 <= n; i++)
        if (!memcmp(b + i, "%PDF-", 5)) return true;
    return false;
}

// Where the text of `in` goes when several files are given.
std::string text_name(const std::string& in, const char* dir) {
    std::string base = in;
    if (dir) {
        size_t slash = base.find_last_of("/\\");
        if (slash != std::string::npos) base = base.substr(slash + 1);
        base = std::string(dir) + "/" + base;
    }
    if (ends_with_pdf(base)) base.resize(base.size() - 4);
    return base + ".txt";
}

struct writer {
    FILE* f = nullptr;
    bool own = false;
    bool failed = false;
    void put(const char* s, size_t n) {
        if (!failed && n && fwrite(s, 1, n, f) != n) failed = true;
    }
};

// Writes the text of pages first..last of `path` to `out` (null or "-":
// standard output).  A form feed follows every page but the last unless
// nothing has been written yet, as pdftext_extract_all joins pages.
// Returns the exit code; *pages gets the number of pages written.
int extract(const options& o, const char* path, const char* out, long* pages) {
    *pages = 0;
    pdftext_doc* doc = pdftext_open(path);
    if (!doc) return library_failure(o, "cannot open the document");
    int n = pdftext_doc_page_count(doc);
    if (n < 0) {
        int rc = library_failure(o, "no pages");
        pdftext_close(doc);
        return rc;
    }
    long first = o.first ? o.first : 1, last = o.last ? o.last : n;
    if (o.first && o.first == o.last && o.first > n) {
        // One page asked for by number: the library's message.
        char* t = pdftext_doc_page_text(doc, (int)o.first, nullptr);
        pdftext_free(t);
        int rc = library_failure(o, "page out of range");
        pdftext_close(doc);
        return rc;
    }
    if (last > n) last = n;
    if (first > last && n > 0) {
        message(o, "wrong page range: the first page (" + std::to_string(first) +
                       ") comes after the last page (" + std::to_string(last) + ")");
        pdftext_close(doc);
        return EXIT_OTHER;
    }
    writer w;
    if (!out || !strcmp(out, "-")) {
        w.f = stdout;
    } else {
        w.f = fopen(out, "wb");
        w.own = true;
        if (!w.f) {
            message(o, std::string("cannot write ") + out);
            pdftext_close(doc);
            return EXIT_WRITE;
        }
    }
    int rc = EXIT_OK;
    size_t written = 0;
    if (first == 1 && last == n) {
        // The whole document in one call, so that the library's bound on
        // the work of one call holds for the whole run: pages that share a
        // huge stream would cost that bound once per page otherwise.
        // Page texts never hold form feeds, so without page breaks the
        // joined text loses exactly its separators.
        size_t len = 0;
        char* t = pdftext_doc_text(doc, &len);
        if (!t) {
            rc = library_failure(o, "cannot extract the text");
        } else {
            if (!o.page_breaks) len = (size_t)(std::remove(t, t + len, '\f') - t);
            w.put(t, len);
            pdftext_free(t);
            *pages = n;
        }
        last = 0;  // nothing left for the loop below
    }
    for (long p = first; p <= last; p++) {
        size_t len = 0;
        char* t = pdftext_doc_page_text(doc, (int)p, &len);
        if (!t) {
            rc = library_failure(o, "cannot extract the text");
            break;
        }
        w.put(t, len);
        pdftext_free(t);
        written += len;
        (*pages)++;
        if (p != last && written && o.page_breaks) {
            w.put("\f", 1);
            written++;
        }
    }
    pdftext_close(doc);
    bool bad = w.failed || (w.own ? fclose(w.f) != 0 : fflush(w.f) != 0);
    if (bad && rc == EXIT_OK) {
        message(o, std::string("write error on ") + (w.own ? out : "standard output"));
        rc = EXIT_WRITE;
    }
    return rc;
}

// Several files: each text into its own file, `jobs` files at a time,
// with a progress line on a terminal.
int extract_many(const options& o, const std::vector<std::string>& files) {
    std::vector<int> codes(files.size(), EXIT_OK);
    std::atomic<size_t> next{0};
    std::mutex progress_lock;
    size_t done = 0;
    long pages_done = 0;
    bool progress = !o.quiet && files.size() > 1 && isatty(fileno(stderr));
    auto start = std::chrono::steady_clock::now();
    auto work = [&]() {
        for (size_t i; (i = next++) < files.size();) {
            long pages = 0;
            std::string out = text_name(files[i], o.dir);
            codes[i] = extract(o, files[i].c_str(), out.c_str(), &pages);
            std::lock_guard<std::mutex> lock(progress_lock);
            done++;
            pages_done += pages;
            if (progress) {
                double s = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
                std::lock_guard<std::mutex> err_lock(g_stderr);
                fprintf(stderr, "\r%zu/%zu files, %ld pages, %.0f pages/s", done, files.size(), pages_done,
                        s > 0 ? pages_done / s : 0.0);
                if (done == files.size()) fputc('\n', stderr);
                fflush(stderr);
            }
        }
    };
    size_t threads = (size_t)o.jobs < files.size() ? (size_t)o.jobs : files.size();
    std::vector<std::thread> pool;
    for (size_t t = 1; t < threads; t++) pool.emplace_back(work);
    work();
    for (auto& t : pool) t.join();
    for (int c : codes)
        if (c != EXIT_OK) return c;
    return EXIT_OK;
}

int usage_error(const options& o, const char* msg) {
    if (!o.quiet) fprintf(stderr, "pdftext: %s\n%s", msg, USAGE);
    return EXIT_OTHER;
}

bool number(const char* v, long* out) {
    char* end = nullptr;
    long n = strtol(v, &end, 10);
    if (!*v || *end || n < 1 || n > 0x7FFFFFFF) return false;
    *out = n;
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    options o;
    std::vector<std::string> names;
    for (int i = 1; i < argc; i++) {
        if (!strcmp(argv[i], "-q")) o.quiet = true;
    }
    for (int i = 1; i < argc; i++) {
        const char* a = argv[i];
        const char* v = nullptr;
        auto value = [&]() -> bool {
            if (i + 1 >= argc) return false;
            v = argv[++i];
            return true;
        };
        if (!strcmp(a, "-h") || !strcmp(a, "--help")) {
            fputs(USAGE, stdout);
            return EXIT_OK;
        } else if (!strcmp(a, "-v") || !strcmp(a, "--version")) {
            printf("pdftext %s\n", pdftext_version());
            return EXIT_OK;
        } else if (!strcmp(a, "-q")) {
        } else if (!strcmp(a, "-nopgbrk")) {
            o.page_breaks = false;
        } else if (!strcmp(a, "--count")) {
            o.count = true;
        } else if (!strcmp(a, "-f") || !strcmp(a, "-l") || !strcmp(a, "-p") || !strcmp(a, "--page")) {
            long n;
            if (!value()) return usage_error(o, "an option needs a value");
            if (!number(v, &n)) return usage_error(o, "a page number must be a positive integer");
            if (a[1] == 'f') o.first = n;
            else if (a[1] == 'l') o.last = n;
            else o.first = o.last = n;
        } else if (!strcmp(a, "-j")) {
            if (!value() || !number(v, &o.jobs) || o.jobs > 256)
                return usage_error(o, "-j needs a number of threads from 1 to 256");
        } else if (!strcmp(a, "-o") || !strcmp(a, "--output")) {
            if (!value()) return usage_error(o, "an option needs a value");
            o.out = v;
        } else if (!strcmp(a, "-d")) {
            if (!value()) return usage_error(o, "an option needs a value");
            o.dir = v;
        } else if (!strcmp(a, "--search")) {
            if (!value()) return usage_error(o, "an option needs a value");
            o.phrase = v;
        } else if (!strcmp(a, "--")) {
            for (i++; i < argc; i++) names.push_back(argv[i]);
        } else if (a[0] == '-' && a[1]) {
            return usage_error(o, (std::string("unknown option ") + a).c_str());
        } else {
            names.push_back(a);
        }
    }
    if (names.empty()) return usage_error(o, "no FILE given");

    // A second name is OUT unless it can be an input.
    std::string out_name = o.out ? o.out : "";
    if (names.size() == 2 && !o.dir && !ends_with_pdf(names[1]) && !looks_like_pdf(names[1].c_str())) {
        if (o.out) return usage_error(o, "OUT given twice (-o and a second name)");
        out_name = names[1];
        names.pop_back();
    }
    const char* out = o.out || !out_name.empty() ? out_name.c_str() : nullptr;
    bool many = names.size() > 1 || o.dir;
    if ((o.count || o.phrase) && (many || out || o.first || o.last))
        return usage_error(o, "--count and --search take one FILE and no page or output options");
    if (o.count && o.phrase) return usage_error(o, "--count and --search cannot be combined");
    if (many && out) return usage_error(o, "OUT cannot be given with several files or -d");
    if (out && strcmp(out, "-") && ends_with_pdf(out))
        return usage_error(o, "OUT ends in .pdf: refusing to write text over a PDF");

#if defined(_WIN32)
    // The text's bytes go out unchanged, as with OUT: no CR before each LF.
    _setmode(_fileno(stdout), _O_BINARY);
#endif
    pdftext_init();
    int rc = EXIT_OK;
    if (o.count) {
        int n = pdftext_page_count(names[0].c_str());
        if (n < 0) return library_failure(o, "cannot count pages");
        printf("%d\n", n);
    } else if (o.phrase) {
        const char* json = pdftext_search(names[0].c_str(), o.phrase);
        if (*pdftext_last_error()) return library_failure(o, "search failed");
        if (fputs(json, stdout) < 0 || fputs("\n", stdout) < 0 || fflush(stdout) != 0) {
            message(o, "write error on standard output");
            rc = EXIT_WRITE;
        }
    } else if (many) {
        rc = extract_many(o, names);
    } else {
        long pages = 0;
        rc = extract(o, names[0].c_str(), out, &pages);
    }
    pdftext_cleanup();
    return rc;
}
