// pdftext: the command-line face of the library.
//
//   pdftext FILE             text of all pages (pages separated by form feeds)
//   pdftext -p N FILE        text of page N
//   pdftext -o OUT FILE      write the text of all pages to OUT
//   pdftext --count FILE     number of pages
//   pdftext --search PHRASE FILE   JSON list of the pages holding PHRASE
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "pdftext.h"

static const char USAGE[] =
    "usage: pdftext [options] FILE\n"
    "\n"
    "Prints the text of a PDF file as UTF-8; pages are separated by form feeds.\n"
    "\n"
    "options:\n"
    "  -p N, --page N          print only page N (1-based)\n"
    "  -o OUT, --output OUT    write the text to the file OUT instead\n"
    "  --count                 print the number of pages\n"
    "  --search PHRASE         print the pages holding PHRASE as JSON\n"
    "                          (white space and ASCII case are ignored)\n"
    "  -h, --help              show this help\n";

static int fail(const char* what) {
    const char* msg = pdftext_last_error();
    fprintf(stderr, "pdftext: %s\n", *msg ? msg : what);
    return 1;
}

static int usage_error(const char* msg) {
    fprintf(stderr, "pdftext: %s\n%s", msg, USAGE);
    return 2;
}

// Writes the bytes of s to stdout; false on a write error.
static bool put(const char* s) {
    size_t n = strlen(s);
    return fwrite(s, 1, n, stdout) == n && fflush(stdout) == 0;
}

int main(int argc, char** argv) {
    const char* file = nullptr;
    const char* out = nullptr;
    const char* phrase = nullptr;
    long page = 0;
    bool count = false;
    for (int i = 1; i < argc; i++) {
        const char* a = argv[i];
        auto value = [&](const char* opt) -> const char* {
            if (i + 1 >= argc) {
                fprintf(stderr, "pdftext: %s needs a value\n", opt);
                exit(2);
            }
            return argv[++i];
        };
        if (!strcmp(a, "-h") || !strcmp(a, "--help")) {
            fputs(USAGE, stdout);
            return 0;
        } else if (!strcmp(a, "--count")) {
            count = true;
        } else if (!strcmp(a, "-p") || !strcmp(a, "--page")) {
            const char* v = value(a);
            char* end = nullptr;
            page = strtol(v, &end, 10);
            if (!*v || *end || page < 1 || page > 0x7FFFFFFF) return usage_error("the page number must be a positive integer");
        } else if (!strcmp(a, "-o") || !strcmp(a, "--output")) {
            out = value(a);
        } else if (!strcmp(a, "--search")) {
            phrase = value(a);
        } else if (a[0] == '-' && a[1]) {
            fprintf(stderr, "pdftext: unknown option %s\n%s", a, USAGE);
            return 2;
        } else if (!file) {
            file = a;
        } else {
            return usage_error("only one FILE may be given");
        }
    }
    if (!file) return usage_error("no FILE given");
    if ((count ? 1 : 0) + (phrase ? 1 : 0) + (page ? 1 : 0) + (out ? 1 : 0) > 1)
        return usage_error("--count, --search, -p and -o cannot be combined");

    pdftext_init();
    int rc = 0;
    if (count) {
        int n = pdftext_page_count(file);
        if (n < 0) return fail("cannot count pages");
        printf("%d\n", n);
    } else if (phrase) {
        const char* json = pdftext_search(file, phrase);
        if (*pdftext_last_error()) return fail("search failed");
        if (!put(json) || !put("\n")) rc = fail("write error on standard output");
    } else if (out) {
        if (!pdftext_to_file(file, out)) return fail("cannot write the text");
    } else if (page) {
        // One page through a handle: the same text as pdftext_extract_page,
        // and the way page ranges will go without loading the file again.
        pdftext_doc* doc = pdftext_open(file);
        if (!doc) return fail("cannot open the document");
        size_t len = 0;
        char* text = pdftext_doc_page_text(doc, (int)page, &len);
        pdftext_close(doc);
        if (!text) return fail("cannot extract the text");
        bool ok = fwrite(text, 1, len, stdout) == len && fflush(stdout) == 0;
        pdftext_free(text);
        if (!ok) rc = fail("write error on standard output");
    } else {
        const char* text = pdftext_extract_all(file);
        if (!text) return fail("cannot extract the text");
        if (!put(text)) rc = fail("write error on standard output");
    }
    pdftext_cleanup();
    return rc;
}
