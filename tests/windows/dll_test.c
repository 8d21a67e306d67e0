/*
 * dll_test: runs every export of tarnwick-pdftext on the committed test
 * PDFs and compares each answer with the one the Linux build gave.
 *
 *   dll_test gen   LIBRARY GOLDEN   records the answers (the Linux build)
 *   dll_test check LIBRARY GOLDEN   compares with them (the Windows build)
 *
 * The library is loaded at run time (LoadLibraryW/GetProcAddress on
 * Windows, dlopen/dlsym elsewhere), which also proves that the exports
 * carry their plain C names; it is unloaded again at the end.  Both runs
 * use the same paths relative to the working directory, because messages
 * name the path; tools/test-windows lays out that directory:
 *
 *   data/             the PDFs of tests/data and manifest.tsv
 *   data/café.pdf     a one-page PDF, opened on Windows by its ANSI name
 *   out/              empty; pdftext_to_file writes here
 *   данные/тест.pdf   a Cyrillic name (a copy of a test PDF)
 *   数据/文件.pdf      a Chinese name (another copy)
 *
 * The files written stay there, so that the script can compare the two
 * runs' outputs and see that the non-ASCII names came out right.
 *
 * Every answer is a record "key -> bytes".  gen writes the records to
 * GOLDEN; check makes the same records in the same order and compares them.
 * Search phrases are cut from the page texts of the Linux run, so both runs
 * search for the same bytes.  At the end, threads run the one-call exports
 * and handles side by side and compare with the same records, which shows
 * that results and messages are kept per thread.
 */

/* Declarations only: the functions come from the library loaded at run
   time, through pointers of the header's own types. */
#define PDFTEXT_STATIC
#include "pdftext.h"

#include <stdarg.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#ifdef _WIN32
#define WIN32_LEAN_AND_MEAN
#include <windows.h>
#include <fcntl.h>
#include <io.h>
#else
#include <dlfcn.h>
#include <pthread.h>
#endif

#define DATA_DIR "data"
#define OUT_DIR "out"
#define CYR_DIR "данные"
#define ZH_DIR "数据"
#define MISSING_PDF DATA_DIR "/no-such-file.pdf"

/* ---- the library's exports ---- */

#define EXPORTS(X)                                                                                              \
    X(pdftext_init) X(pdftext_cleanup) X(pdftext_last_error) X(pdftext_page_count) X(pdftext_extract_page)     \
    X(pdftext_extract_all) X(pdftext_to_file) X(pdftext_search) X(pdftext_version) X(pdftext_open)             \
    X(pdftext_open_memory) X(pdftext_close) X(pdftext_doc_page_count) X(pdftext_doc_page_text)                 \
    X(pdftext_doc_text) X(pdftext_doc_search) X(pdftext_free)

#define MEMBER(f) __typeof__(&f) f;
static struct {
    EXPORTS(MEMBER)
} api;

#ifdef _WIN32
static HMODULE lib;
#else
static void *lib;
#endif

/* The export `name`, through void (*)(void), the generic function pointer type. */
static void (*find(const char *name))(void) {
#ifdef _WIN32
    return (void (*)(void))GetProcAddress(lib, name);
#else
    return (void (*)(void))dlsym(lib, name);
#endif
}

static int load_library(const char *path) {
    int ok = 1;
#ifdef _WIN32
    wchar_t wpath[1024];
    int i, n = MultiByteToWideChar(CP_ACP, 0, path, -1, wpath, 1024);
    if (n <= 0) return 0;
    for (i = 0; i < n; i++)
        if (wpath[i] == L'/') wpath[i] = L'\\';
    lib = LoadLibraryW(wpath);
    if (!lib) {
        fprintf(stderr, "dll_test: LoadLibraryW(%s) failed, error %lu\n", path, (unsigned long)GetLastError());
        return 0;
    }
#else
    lib = dlopen(path, RTLD_NOW | RTLD_LOCAL);
    if (!lib) {
        fprintf(stderr, "dll_test: %s\n", dlerror());
        return 0;
    }
#endif
#define LOAD(f)                                                                \
    if (!(api.f = (__typeof__(&f))find(#f))) {                                \
        fprintf(stderr, "dll_test: %s does not export %s\n", path, #f);       \
        ok = 0;                                                                \
    }
    EXPORTS(LOAD)
    return ok;
}

/* Unloads the library; 0 when the system refuses. */
static int unload_library(void) {
#ifdef _WIN32
    return FreeLibrary(lib) != 0;
#else
    return dlclose(lib) == 0;
#endif
}

/* ---- files named in UTF-8 ---- */

static FILE *open_utf8(const char *path, const char *mode) {
#ifdef _WIN32
    wchar_t wpath[1024], wmode[8];
    if (MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, path, -1, wpath, 1024) <= 0) return NULL;
    if (MultiByteToWideChar(CP_UTF8, 0, mode, -1, wmode, 8) <= 0) return NULL;
    return _wfopen(wpath, wmode);
#else
    return fopen(path, mode);
#endif
}

/* The whole file in a malloc'ed buffer (NUL added), or NULL. */
static char *read_file(const char *path, size_t *len) {
    FILE *f = open_utf8(path, "rb");
    char *buf = NULL;
    size_t cap = 0, n = 0, got;
    if (!f) return NULL;
    do {
        if (cap - n < 65536) {
            char *nb = (char *)realloc(buf, cap = cap * 2 + 65536);
            if (!nb) {
                free(buf);
                fclose(f);
                return NULL;
            }
            buf = nb;
        }
        got = fread(buf + n, 1, cap - n - 1, f);
        n += got;
    } while (got > 0);
    fclose(f);
    buf[n] = 0;
    *len = n;
    return buf;
}

/* ---- records ---- */

typedef struct {
    char *key;
    char *val;
    size_t len;
} record;

static int gen_mode;
static record *golden; /* check: read from GOLDEN; gen: made so far */
static size_t n_golden, cap_golden, next_golden;
static FILE *golden_out;
static int passed, failed;

static void *xmalloc(size_t n) {
    void *p = malloc(n ? n : 1);
    if (!p) {
        fprintf(stderr, "dll_test: out of memory\n");
        exit(2);
    }
    return p;
}

static char *dup_bytes(const char *s, size_t n) {
    char *p = (char *)xmalloc(n + 1);
    memcpy(p, s, n);
    p[n] = 0;
    return p;
}

static void keep(const char *key, const char *val, size_t len) {
    if (n_golden == cap_golden) {
        record *g = (record *)realloc(golden, (cap_golden = cap_golden * 2 + 256) * sizeof *golden);
        if (!g) {
            fprintf(stderr, "dll_test: out of memory\n");
            exit(2);
        }
        golden = g;
    }
    golden[n_golden].key = dup_bytes(key, strlen(key));
    golden[n_golden].val = dup_bytes(val, len);
    golden[n_golden].len = len;
    n_golden++;
}

/* GOLDEN holds "@ KEY LEN\n" + LEN bytes + "\n" per record. */
static int read_golden(const char *path) {
    size_t len, pos = 0;
    char *all = read_file(path, &len);
    if (!all) {
        fprintf(stderr, "dll_test: cannot read %s\n", path);
        return 0;
    }
    while (pos < len) {
        char *line = all + pos, *nl = memchr(line, '\n', len - pos), *sp;
        unsigned long n;
        if (!nl || line[0] != '@' || line[1] != ' ') break;
        *nl = 0;
        sp = strrchr(line, ' ');
        if (sp == line + 1) break;
        n = strtoul(sp + 1, NULL, 10);
        *sp = 0;
        pos = (size_t)(nl - all) + 1;
        if (n > len - pos || len - pos - n < 1) break;
        keep(line + 2, all + pos, n);
        pos += n + 1;
    }
    free(all);
    if (pos != len) {
        fprintf(stderr, "dll_test: %s is damaged after %lu records\n", path, (unsigned long)n_golden);
        return 0;
    }
    return 1;
}

/* Prints bytes with everything outside printable ASCII escaped. */
static void show(const char *s, size_t n) {
    size_t i;
    for (i = 0; i < n; i++) {
        unsigned char c = (unsigned char)s[i];
        if (c == '\n')
            fputs("\\n", stdout);
        else if (c >= 0x20 && c < 0x7F && c != '\\')
            putchar(c);
        else
            printf("\\x%02X", c);
    }
}

static void fail_note(const char *key, const char *fmt, ...) {
    va_list ap;
    failed++;
    printf("FAIL %s: ", key);
    va_start(ap, fmt);
    vprintf(fmt, ap);
    va_end(ap);
    putchar('\n');
}

/* The answer `val` for `key`: gen writes it, check compares it. */
static void record_bytes(const char *key, const char *val, size_t len) {
    if (gen_mode) {
        fprintf(golden_out, "@ %s %lu\n", key, (unsigned long)len);
        fwrite(val, 1, len, golden_out);
        fputc('\n', golden_out);
        keep(key, val, len);
        passed++;
        return;
    }
    if (next_golden >= n_golden || strcmp(golden[next_golden].key, key) != 0) {
        size_t i;
        fail_note(key, "no such record at this place in the golden file (%s)",
                  next_golden < n_golden ? golden[next_golden].key : "end");
        /* Find it further on so that one missing record does not fail the rest. */
        for (i = next_golden; i < n_golden && strcmp(golden[i].key, key) != 0; i++) {
        }
        if (i == n_golden) return;
        next_golden = i;
    }
    {
        const record *g = &golden[next_golden++];
        size_t i = 0, from, to;
        if (g->len == len && memcmp(g->val, val, len) == 0) {
            passed++;
            return;
        }
        while (i < len && i < g->len && val[i] == g->val[i]) i++;
        fail_note(key, "%lu bytes, expected %lu; first difference at byte %lu", (unsigned long)len,
                  (unsigned long)g->len, (unsigned long)i);
        from = i > 40 ? i - 40 : 0;
        printf("  expected: ");
        to = g->len < i + 40 ? g->len : i + 40;
        show(g->val + from, to - from);
        printf("\n  got:      ");
        to = len < i + 40 ? len : i + 40;
        show(val + from, to - from);
        putchar('\n');
    }
}

static void record_str(const char *key, const char *s) {
    if (s)
        record_bytes(key, s, strlen(s));
    else
        record_bytes(key, "<null>", 6);
}

static void record_int(const char *key, int v) {
    char buf[32];
    snprintf(buf, sizeof buf, "%d", v);
    record_str(key, buf);
}

/* The last message, under KEY + " error"; it must never be null. */
static void record_error(const char *key) {
    char k[600];
    const char *e = api.pdftext_last_error();
    snprintf(k, sizeof k, "%s error", key);
    if (!e) {
        fail_note(k, "pdftext_last_error returned null");
        return;
    }
    record_str(k, e);
}

/* A text of `len` bytes, or the null answer.  "=" tells a text from it. */
static void record_block(const char *key, const char *text, size_t len) {
    if (text) {
        char *v = (char *)xmalloc(len + 1);
        v[0] = '=';
        memcpy(v + 1, text, len);
        record_bytes(key, v, len + 1);
        free(v);
    } else {
        record_bytes(key, "<null>", 6);
    }
}

static void record_text(const char *key, const char *text) { record_block(key, text, text ? strlen(text) : 0); }

/* The reference answer recorded under key: this run's in gen, Linux's in check. */
static const record *reference(const char *key) {
    size_t i;
    for (i = 0; i < n_golden; i++)
        if (strcmp(golden[i].key, key) == 0) return &golden[i];
    return NULL;
}

/* True when `text` of `len` bytes is what record_block made for r. */
static int same_block(const record *r, const char *text, size_t len) {
    if (!r) return 0;
    if (!text) return r->len == 6 && memcmp(r->val, "<null>", 6) == 0;
    return r->len == len + 1 && r->val[0] == '=' && memcmp(r->val + 1, text, len) == 0;
}

/* True when r holds exactly the string s (as record_str made it). */
static int same_str(const record *r, const char *s) {
    return r && s && r->len == strlen(s) && memcmp(r->val, s, r->len) == 0;
}

/* ---- the checks ---- */

/* A phrase cut from the middle of a text: up to 24 bytes, whole UTF-8
   characters, starting at a letter or digit. */
static int cut_phrase(const record *r, char *out, size_t cap) {
    size_t i, n, end;
    if (!r || r->len < 2 || r->val[0] != '=') return 0;
    i = 1 + (r->len - 1) / 2;
    while (i < r->len && (((unsigned char)r->val[i] & 0xC0) == 0x80 || r->val[i] == ' ' || r->val[i] == '\n'))
        i++;
    if (i >= r->len) return 0;
    end = i + 24 < r->len ? i + 24 : r->len;
    while (end > i && end < r->len && ((unsigned char)r->val[end] & 0xC0) == 0x80) end--;
    n = end - i;
    if (n == 0 || n + 1 > cap) return 0;
    memcpy(out, r->val + i, n);
    out[n] = 0;
    return 1;
}

/* The phrases searched in one file, each with the label of its records. */
#define MAX_PHRASES 64
typedef struct {
    char label[64];
    char text[300];
} phrase;

static int add_phrase(phrase *list, int n, const char *label, const char *text) {
    if (n == MAX_PHRASES || strlen(text) >= sizeof list[n].text) return n;
    snprintf(list[n].label, sizeof list[n].label, "%s", label);
    strcpy(list[n].text, text);
    return n + 1;
}

/* One from the middle of each page, the same in capitals, fixed ones that
   match everywhere, nowhere or are empty, and one longer than the 255
   bytes a phrase keeps. */
static int make_phrases(const char *path, int pages, phrase *list) {
    char k[600], label[64], cut[300];
    const record *r;
    int i, n = 0;
    for (i = 1; i <= pages; i++) {
        char *p;
        snprintf(k, sizeof k, "%s page %d", path, i);
        if (!cut_phrase(reference(k), cut, sizeof cut)) continue;
        snprintf(label, sizeof label, "page %d phrase", i);
        n = add_phrase(list, n, label, cut);
        for (p = cut; *p; p++)
            if (*p >= 'a' && *p <= 'z') *p = (char)(*p - 32);
        snprintf(label, sizeof label, "page %d phrase in capitals", i);
        n = add_phrase(list, n, label, cut);
    }
    n = add_phrase(list, n, "the", "the");
    n = add_phrase(list, n, "absent", "zzqx nowhere to be found");
    n = add_phrase(list, n, "empty", "");
    n = add_phrase(list, n, "blank", " \t\n ");
    snprintf(k, sizeof k, "%s all", path);
    r = reference(k);
    if (r && r->len > 300 && r->val[0] == '=') {
        memcpy(cut, r->val + 1, 299);
        cut[299] = 0;
        n = add_phrase(list, n, "long", cut);
    }
    return n;
}

/* The answer of pdftext_doc_search as "COUNT [PAGES]"; the array must be
   set, and null exactly when no page matches.  Frees the array. */
static void record_doc_search(const char *key, int count, int *pages, const int *unset) {
    char buf[4096];
    size_t len;
    int i;
    if (pages == unset) {
        fail_note(key, "the page array was not set");
        pages = NULL;
    }
    len = (size_t)snprintf(buf, sizeof buf, "%d [", count);
    for (i = 0; pages && i < count && len < sizeof buf - 16; i++)
        len += (size_t)snprintf(buf + len, sizeof buf - len, "%s%d", i ? "," : "", pages[i]);
    snprintf(buf + len, sizeof buf - len, "]");
    if ((count > 0) != (pages != NULL)) fail_note(key, "%d pages matched, but the page array is %s", count,
                                                  pages ? "set" : "null");
    record_str(key, buf);
    api.pdftext_free(pages);
}

/* The document behind a handle: the same answers as the one-call exports. */
static void check_handle(const char *path, const char *how, pdftext_doc *doc, int pages, const phrase *ph, int n_ph) {
    char k[600], ref[600];
    size_t len;
    char *text;
    int i;

    snprintf(k, sizeof k, "%s %s", path, how);
    record_str(k, doc ? "handle" : NULL);
    record_error(k);
    if (!doc) return;

    snprintf(k, sizeof k, "%s %s count", path, how);
    record_int(k, api.pdftext_doc_page_count(doc));
    record_error(k);

    for (i = 0; i <= (pages > 0 ? pages + 1 : 1); i++) {
        len = 12345;
        text = api.pdftext_doc_page_text(doc, i, &len);
        snprintf(k, sizeof k, "%s %s page %d", path, how, i);
        if (text && len != strlen(text)) fail_note(k, "length %lu, but the text has %lu bytes", (unsigned long)len,
                                                   (unsigned long)strlen(text));
        record_block(k, text, text ? len : 0);
        record_error(k);
        /* Byte for byte what pdftext_extract_page gives. */
        snprintf(ref, sizeof ref, "%s page %d", path, i);
        if (text && !same_block(reference(ref), text, len)) fail_note(k, "differs from pdftext_extract_page");
        api.pdftext_free(text);
    }

    text = api.pdftext_doc_text(doc, &len);
    snprintf(k, sizeof k, "%s %s text", path, how);
    record_block(k, text, text ? len : 0);
    record_error(k);
    snprintf(ref, sizeof ref, "%s all", path);
    if (text && !same_block(reference(ref), text, len)) fail_note(k, "differs from pdftext_extract_all");
    api.pdftext_free(text);

    for (i = 0; i < n_ph; i++) {
        int unset, *hits = &unset;
        int count = api.pdftext_doc_search(doc, ph[i].text, &hits);
        snprintf(k, sizeof k, "%s %s search %.60s", path, how, ph[i].label);
        record_doc_search(k, count, hits, &unset);
        record_error(k);
    }
    api.pdftext_close(doc);
}

/* Every export on one file; out_path is where pdftext_to_file writes. */
static void check_file(const char *path, const char *out_path, int manifest_pages) {
    char k[600];
    phrase ph[MAX_PHRASES];
    int n, i, n_ph;

    api.pdftext_init();
    snprintf(k, sizeof k, "%s count", path);
    n = api.pdftext_page_count(path);
    record_int(k, n);
    record_error(k);
    if (manifest_pages >= 0 && n != manifest_pages) fail_note(k, "%d pages, the manifest says %d", n, manifest_pages);

    snprintf(k, sizeof k, "%s all", path);
    record_text(k, api.pdftext_extract_all(path));
    record_error(k);

    /* Every page, and one on either side. */
    for (i = 0; i <= (n > 0 ? n + 1 : 1); i++) {
        snprintf(k, sizeof k, "%s page %d", path, i);
        record_text(k, api.pdftext_extract_page(path, i));
        record_error(k);
    }

    snprintf(k, sizeof k, "%s to_file", path);
    record_int(k, api.pdftext_to_file(path, out_path));
    record_error(k);
    {
        size_t len;
        char *text = read_file(out_path, &len);
        snprintf(k, sizeof k, "%s to_file content", path);
        if (text)
            record_bytes(k, text, len);
        else
            record_str(k, NULL);
        free(text);
    }

    n_ph = make_phrases(path, n, ph);
    for (i = 0; i < n_ph; i++) {
        snprintf(k, sizeof k, "%s search %.60s", path, ph[i].label);
        record_str(k, api.pdftext_search(path, ph[i].text));
        record_error(k);
    }

    /* The same document through handles, from the file and from memory. */
    api.pdftext_init();
    check_handle(path, "open", api.pdftext_open(path), n, ph, n_ph);
    {
        size_t len;
        char *bytes = read_file(path, &len);
        if (bytes) {
            api.pdftext_init();
            check_handle(path, "memory", api.pdftext_open_memory(bytes, len), n, ph, n_ph);
            free(bytes);
        }
    }
}

/* Calls that fail before or while opening the file. */
static void check_errors(void) {
    char longpath[1600];
    /* Missing files, named in UTF-8 and in bytes that are not UTF-8 (which
       go to fopen unchanged): an invalid lead byte, an overlong form, a
       surrogate and a sequence cut short by the end of the path. */
    static const char *const missing[] = {
        MISSING_PDF,
        CYR_DIR "/нет.pdf",
        ZH_DIR "/无.pdf",
        "no-such-dir/a.pdf",
        DATA_DIR "/\xFF\xFE-not-utf8.pdf",
        DATA_DIR "/\xC0\xAF.pdf",
        DATA_DIR "/\xED\xA0\x80.pdf",
        DATA_DIR "/x.pdf\xE6\x95",
    };
    size_t i, len;
    char k[1700], *text;
    int n, unset, *hits = &unset;

    /* Null arguments, per export. */
    record_int("null count", api.pdftext_page_count(NULL));
    record_error("null count");
    record_text("null page", api.pdftext_extract_page(NULL, 1));
    record_error("null page");
    record_text("null all", api.pdftext_extract_all(NULL));
    record_error("null all");
    record_int("null to_file in", api.pdftext_to_file(NULL, OUT_DIR "/null.txt"));
    record_error("null to_file in");
    record_int("null to_file out", api.pdftext_to_file(DATA_DIR "/latex_article.pdf", NULL));
    record_error("null to_file out");
    record_str("null search path", api.pdftext_search(NULL, "x"));
    record_error("null search path");
    record_str("null search phrase", api.pdftext_search(DATA_DIR "/latex_article.pdf", NULL));
    record_error("null search phrase");
    record_str("null open", api.pdftext_open(NULL) ? "handle" : NULL);
    record_error("null open");
    record_str("null open_memory", api.pdftext_open_memory(NULL, 1) ? "handle" : NULL);
    record_error("null open_memory");
    record_str("empty open_memory", api.pdftext_open_memory("", 0) ? "handle" : NULL);
    record_error("empty open_memory");
    record_int("null doc count", api.pdftext_doc_page_count(NULL));
    record_error("null doc count");
    record_text("null doc page", text = api.pdftext_doc_page_text(NULL, 1, &len));
    record_error("null doc page");
    api.pdftext_free(text);
    record_text("null doc text", text = api.pdftext_doc_text(NULL, &len));
    record_error("null doc text");
    api.pdftext_free(text);
    n = api.pdftext_doc_search(NULL, "x", &hits);
    record_doc_search("null doc search", n, hits, &unset);
    record_error("null doc search");
    api.pdftext_close(NULL);
    api.pdftext_free(NULL);

    /* init and cleanup empty the message. */
    api.pdftext_page_count(MISSING_PDF);
    record_int("init", api.pdftext_init());
    record_error("init");
    api.pdftext_page_count(MISSING_PDF);
    api.pdftext_cleanup();
    record_error("cleanup");

    for (i = 0; i < sizeof missing / sizeof *missing; i++) {
        const char *p = missing[i];
        pdftext_doc *doc;
        snprintf(k, sizeof k, "missing %s count", p);
        record_int(k, api.pdftext_page_count(p));
        record_error(k);
        snprintf(k, sizeof k, "missing %s page", p);
        record_text(k, api.pdftext_extract_page(p, 1));
        record_error(k);
        snprintf(k, sizeof k, "missing %s all", p);
        record_text(k, api.pdftext_extract_all(p));
        record_error(k);
        snprintf(k, sizeof k, "missing %s to_file", p);
        record_int(k, api.pdftext_to_file(p, OUT_DIR "/missing.txt"));
        record_error(k);
        snprintf(k, sizeof k, "missing %s search", p);
        record_str(k, api.pdftext_search(p, "x"));
        record_error(k);
        snprintf(k, sizeof k, "missing %s open", p);
        doc = api.pdftext_open(p);
        record_str(k, doc ? "handle" : NULL);
        record_error(k);
        api.pdftext_close(doc);
    }

    /* A message longer than the 1023 bytes kept. */
    memcpy(longpath, DATA_DIR "/", 5);
    memset(longpath + 5, 'a', 1500);
    longpath[1505] = 0;
    record_int("long path count", api.pdftext_page_count(longpath));
    record_error("long path count");

    /* Not a PDF; an empty file. */
    record_int("not a pdf count", api.pdftext_page_count(DATA_DIR "/manifest.tsv"));
    record_error("not a pdf count");
    {
        FILE *f = fopen(OUT_DIR "/empty.pdf", "wb");
        if (f) fclose(f);
        record_int("empty file count", api.pdftext_page_count(OUT_DIR "/empty.pdf"));
        record_error("empty file count");
        remove(OUT_DIR "/empty.pdf");
    }

    /* Output the library cannot write. */
    record_int("unwritable to_file", api.pdftext_to_file(DATA_DIR "/latex_article.pdf", "no-such-dir/out.txt"));
    record_error("unwritable to_file");
    record_int("unwritable wide to_file", api.pdftext_to_file(DATA_DIR "/latex_article.pdf", "нет-无/вывод.txt"));
    record_error("unwritable wide to_file");

    record_str("version", api.pdftext_version());
}

/* ---- threads ---- */

/* Threads share out the manifest's files and, for each, run the one-call
   exports and a handle, comparing with the records made above.  A result
   or message kept for the whole process instead of per thread shows up as
   another file's text, another thread's message, or a freed text. */
#define THREADS 4
#define ROUNDS 3
#define MAX_FILES 64

static char files[MAX_FILES][300];
static int n_files;

typedef struct {
    int index;
    int passed, failed;
    char first_failure[700];
} worker;

static void w_check(worker *w, int ok, const char *path, const char *what) {
    if (ok) {
        w->passed++;
        return;
    }
    if (!w->failed++) snprintf(w->first_failure, sizeof w->first_failure, "%s: %s", path, what);
}

static const record *ref_of(const char *path, const char *what) {
    char k[600];
    snprintf(k, sizeof k, "%s %s", path, what);
    return reference(k);
}

static void work(worker *w) {
    const record *missing_msg = reference("missing " MISSING_PDF " count error");
    char own_missing[100], own_msg[400] = "";
    int round, f;

    /* This thread's own failure: the message of the missing file, with
       this thread's path in it. */
    snprintf(own_missing, sizeof own_missing, DATA_DIR "/no-such-file-%d.pdf", w->index);
    if (missing_msg) {
        const char *at = strstr(missing_msg->val, MISSING_PDF);
        if (at)
            snprintf(own_msg, sizeof own_msg, "%.*s%s%s", (int)(at - missing_msg->val), missing_msg->val, own_missing,
                     at + strlen(MISSING_PDF));
    }

    for (round = 0; round < ROUNDS; round++) {
        for (f = w->index; f < n_files; f += THREADS) {
            const char *p = files[f];
            const record *count = ref_of(p, "count"), *all = ref_of(p, "all");
            const char *text;
            char buf[32];
            pdftext_doc *doc;
            size_t len;
            int n;

            api.pdftext_page_count(own_missing);
            text = api.pdftext_extract_all(p);
            w_check(w, same_block(all, text, text ? strlen(text) : 0), p, "pdftext_extract_all");
            n = api.pdftext_page_count(p);
            snprintf(buf, sizeof buf, "%d", n);
            w_check(w, same_str(count, buf), p, "pdftext_page_count");
            if (n > 0) {
                /* Neither call above writes a message when it succeeds. */
                w_check(w, *own_msg && strcmp(api.pdftext_last_error(), own_msg) == 0, p,
                        "pdftext_last_error is not this thread's message");
                /* Neither a count nor a failure frees the last text. */
                w_check(w, same_block(all, text, text ? strlen(text) : 0), p, "the text changed under the thread");
                w_check(w, same_str(ref_of(p, "search the"), api.pdftext_search(p, "the")), p, "pdftext_search");
            }
            doc = api.pdftext_open(p);
            if (doc) {
                char *t = api.pdftext_doc_text(doc, &len);
                w_check(w, same_block(all, t, t ? len : 0), p, "pdftext_doc_text");
                api.pdftext_free(t);
                api.pdftext_close(doc);
            } else {
                w_check(w, same_str(count, "-1"), p, "pdftext_open");
            }
        }
    }
}

#ifdef _WIN32
static DWORD WINAPI worker_main(LPVOID arg) {
    work((worker *)arg);
    return 0;
}
#else
static void *worker_main(void *arg) {
    work((worker *)arg);
    return NULL;
}
#endif

static void check_threads(void) {
    worker w[THREADS];
    int i, started = 0, total;
#ifdef _WIN32
    HANDLE t[THREADS];
#else
    pthread_t t[THREADS];
#endif
    memset(w, 0, sizeof w);
    for (i = 0; i < THREADS; i++) {
        w[i].index = i;
#ifdef _WIN32
        t[i] = CreateThread(NULL, 0, worker_main, &w[i], 0, NULL);
        if (!t[i]) break;
#else
        if (pthread_create(&t[i], NULL, worker_main, &w[i]) != 0) break;
#endif
        started++;
    }
    for (i = 0; i < started; i++) {
#ifdef _WIN32
        WaitForSingleObject(t[i], INFINITE);
        CloseHandle(t[i]);
#else
        pthread_join(t[i], NULL);
#endif
    }
    if (started < THREADS) fail_note("threads", "only %d of %d threads started", started, THREADS);
    total = 0;
    for (i = 0; i < started; i++) {
        total += w[i].passed + w[i].failed;
        passed += w[i].passed;
        if (w[i].failed) {
            fail_note("threads", "thread %d: %d comparisons failed, the first: %s", i, w[i].failed, w[i].first_failure);
            failed += w[i].failed - 1;
        }
    }
    printf("dll_test: %d threads made %d of the comparisons\n", started, total);
}

int main(int argc, char **argv) {
    FILE *manifest;
    char line[1024];
    int first = 1, i;

#ifdef _WIN32
    /* The report is compared byte for byte; no CR before each LF. */
    _setmode(_fileno(stdout), _O_BINARY);
#endif
    if (argc != 4 || (strcmp(argv[1], "gen") != 0 && strcmp(argv[1], "check") != 0)) {
        fprintf(stderr, "usage: dll_test gen|check LIBRARY GOLDEN\n");
        return 2;
    }
    gen_mode = strcmp(argv[1], "gen") == 0;
    if (!load_library(argv[2])) return 2;
    if (gen_mode) {
        golden_out = fopen(argv[3], "wb");
        if (!golden_out) {
            fprintf(stderr, "dll_test: cannot write %s\n", argv[3]);
            return 2;
        }
    } else if (!read_golden(argv[3])) {
        return 2;
    }

    manifest = fopen(DATA_DIR "/manifest.tsv", "rb");
    if (!manifest) {
        fprintf(stderr, "dll_test: cannot read " DATA_DIR "/manifest.tsv (run from the prepared directory)\n");
        return 2;
    }
    while (fgets(line, sizeof line, manifest)) {
        char out[320], *tab = strchr(line, '\t');
        int pages = -1, whole = strchr(line, '\n') != NULL;
        /* The rest of a line longer than the buffer. */
        while (!whole) {
            char rest[256];
            if (!fgets(rest, sizeof rest, manifest)) break;
            whole = strchr(rest, '\n') != NULL;
        }
        if (first || !tab) { /* the heading */
            first = 0;
            continue;
        }
        *tab = 0;
        if (n_files == MAX_FILES || strlen(line) > 200) {
            fail_note(line, "too many files or too long a name for this test");
            continue;
        }
        if (tab[1] >= '0' && tab[1] <= '9') pages = atoi(tab + 1);
        snprintf(files[n_files], sizeof files[n_files], DATA_DIR "/%s", line);
        snprintf(out, sizeof out, OUT_DIR "/%s.txt", line);
        check_file(files[n_files++], out, pages);
    }
    fclose(manifest);

    /* Non-ASCII names: a Cyrillic and a Chinese file in folders of the same
       scripts, written out there and under a Latin-1 letter that the ANSI
       code page has too (so a path read as ANSI would make a wrong name,
       not fail). */
    check_file(CYR_DIR "/тест.pdf", CYR_DIR "/вывод.txt", -1);
    check_file(ZH_DIR "/文件.pdf", ZH_DIR "/输出.txt", -1);
    record_int("latin to_file", api.pdftext_to_file(DATA_DIR "/reportlab_cyrillic_greek.pdf", OUT_DIR "/résumé.txt"));
    record_error("latin to_file");
    {
        size_t len;
        char *text = read_file(OUT_DIR "/résumé.txt", &len);
        if (text)
            record_bytes("latin to_file content", text, len);
        else
            record_str("latin to_file content", NULL);
        free(text);
    }

#ifdef _WIN32
    /* A path that is not UTF-8 goes to fopen, which reads it in the ANSI
       code page: "caf\xE9" is "café" in code page 1252.  No Linux answer. */
    if (GetACP() == 1252) {
        int n = api.pdftext_page_count(DATA_DIR "/caf\xE9.pdf");
        if (n == 1)
            passed++;
        else
            fail_note("ANSI path count", "%d (%s), expected 1", n, api.pdftext_last_error());
    } else {
        printf("dll_test: ANSI path not tried, the code page is %u, not 1252\n", (unsigned)GetACP());
    }
#endif

    check_errors();
    api.pdftext_cleanup();
    if (gen_mode && fclose(golden_out) != 0) {
        fprintf(stderr, "dll_test: write error on %s\n", argv[3]);
        return 2;
    }

    check_threads();

    /* Unloading must work while this thread still holds per-thread state
       of the library (its message buffer). */
    api.pdftext_page_count(MISSING_PDF);
    if (!unload_library()) fail_note("unload", "the library could not be unloaded");

    for (i = 0; i < (int)n_golden; i++) {
        free(golden[i].key);
        free(golden[i].val);
    }
    free(golden);
    if (gen_mode) {
        printf("dll_test: recorded %d answers\n", passed);
        return failed ? 1 : 0;
    }
    if (next_golden != n_golden) fail_note("end", "%lu golden records were not made", (unsigned long)(n_golden - next_golden));
    printf("dll_test: %d passed, %d failed\n", passed, failed);
    return failed ? 1 : 0;
}
