/*
 * The inflate floor: the time zlib needs to read each PDF file and inflate
 * every Flate stream in it, all in one process.  No parsing beyond finding
 * the streams: a stream is the data after a dictionary that ends just
 * before the keyword "stream"; the dictionary's /Filter must name
 * /FlateDecode, alone or after /ASCII85Decode (which is decoded first, as a
 * reader has to).  The data ends at a direct /Length when "endstream"
 * follows it, else at the next "endstream".
 *
 *   floor [-r R] FILE...
 *
 * Each repetition reads and inflates every file; the best total of R
 * repetitions (default 5) is reported, with the best time of each file:
 *
 *   file NAME BYTES STREAMS IN OUT FAILED SECONDS
 *   total FILES STREAMS IN OUT FAILED SECONDS
 *
 * The file records come in the order of the arguments.  IN and OUT are
 * compressed and inflated bytes; FAILED counts streams that
 * zlib reported as damaged (their output up to the damage is counted).
 *
 * Build: cc -O2 floor.c -lz
 */
#define _GNU_SOURCE /* memmem */
#include <stddef.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <time.h>
#include <zlib.h>

typedef struct {
    unsigned char *p;
    size_t n, cap;
} bytes;

typedef struct {
    long streams, failed;
    size_t in, out;
} tally;

static void die(const char *msg, const char *arg) {
    fprintf(stderr, "floor: %s%s%s\n", msg, arg ? " " : "", arg ? arg : "");
    exit(1);
}

static void reserve(bytes *b, size_t n) {
    if (n <= b->cap) return;
    size_t cap = b->cap ? b->cap : 1 << 16;
    while (cap < n) {
        if (cap > SIZE_MAX / 2) die("out of memory", NULL);
        cap *= 2;
    }
    unsigned char *p = realloc(b->p, cap);
    if (!p) die("out of memory", NULL);
    b->p = p;
    b->cap = cap;
}

static int read_file(const char *path, bytes *b) {
    FILE *f = fopen(path, "rb");
    if (!f) return 0;
    b->n = 0;
    for (;;) {
        reserve(b, b->n + (1 << 16));
        size_t got = fread(b->p + b->n, 1, b->cap - b->n, f);
        b->n += got;
        if (got == 0) break;
    }
    int ok = !ferror(f);
    fclose(f);
    return ok;
}

static int is_ws(unsigned char c) {
    return c == 0 || c == 9 || c == 10 || c == 12 || c == 13 || c == 32;
}

static int is_delim(unsigned char c) {
    return is_ws(c) || c == '/' || c == '[' || c == ']' || c == '<' || c == '>' || c == '(' || c == ')' ||
           c == '{' || c == '}' || c == '%';
}

static const unsigned char *find(const unsigned char *p, const unsigned char *end, const char *word) {
    size_t n = strlen(word);
    if ((size_t)(end - p) < n) return NULL;
    return memmem(p, (size_t)(end - p), word, n);
}

/* Position of the name `name` (with its slash) in [p, end) as a whole
 * token, or NULL. */
static const unsigned char *find_name(const unsigned char *p, const unsigned char *end, const char *name) {
    size_t n = strlen(name);
    while ((p = find(p, end, name)) != NULL) {
        if (p + n == end || is_delim(p[n])) return p;
        p += n;
    }
    return NULL;
}

/* Start of the dictionary whose closing ">>" ends at `close` (exclusive),
 * searching back at most 64 KiB; NULL when there is none. */
static const unsigned char *dict_start(const unsigned char *base, const unsigned char *close) {
    ptrdiff_t lim = close - base > 65536 ? (close - base) - 65536 : 0;
    ptrdiff_t q = (close - base) - 2; /* index of a two-byte pair */
    int depth = 0;
    while (q >= lim) {
        if (base[q] == '>' && base[q + 1] == '>') {
            depth++;
            q -= 2;
        } else if (base[q] == '<' && base[q + 1] == '<') {
            if (--depth == 0) return base + q;
            q -= 2;
        } else {
            q--;
        }
    }
    return NULL;
}

enum { F_NONE, F_FLATE, F_A85_FLATE };

/* Which decoding the dictionary [d, e) asks for. */
static int filter_kind(const unsigned char *d, const unsigned char *e) {
    const unsigned char *f = find_name(d, e, "/Filter");
    if (!f) return F_NONE;
    f += 7;
    while (f < e && is_ws(*f)) f++;
    int in_array = f < e && *f == '[';
    if (in_array) f++;
    int a85 = 0;
    while (f < e) {
        while (f < e && is_ws(*f)) f++;
        if (f >= e || *f != '/') return F_NONE;
        const unsigned char *s = ++f;
        while (f < e && !is_delim(*f)) f++;
        size_t n = (size_t)(f - s);
        if ((n == 11 && !memcmp(s, "FlateDecode", 11)) || (n == 2 && !memcmp(s, "Fl", 2)))
            return a85 ? F_A85_FLATE : F_FLATE;
        if (!in_array) return F_NONE;
        if ((n == 13 && !memcmp(s, "ASCII85Decode", 13)) || (n == 3 && !memcmp(s, "A85", 3)))
            a85 = 1;
        else
            return F_NONE; /* another filter comes before Flate */
    }
    return F_NONE;
}

/* The direct /Length of [d, e), or -1 when absent or indirect. */
static long direct_length(const unsigned char *d, const unsigned char *e) {
    const unsigned char *f = find_name(d, e, "/Length");
    if (!f) return -1;
    f += 7;
    while (f < e && is_ws(*f)) f++;
    long v = 0;
    const unsigned char *s = f;
    while (f < e && *f >= '0' && *f <= '9' && v < 1000000000L) v = v * 10 + (*f++ - '0');
    if (f == s) return -1;
    /* "N G R" is a reference. */
    const unsigned char *g = f;
    while (g < e && is_ws(*g)) g++;
    const unsigned char *gs = g;
    while (g < e && *g >= '0' && *g <= '9') g++;
    if (g > gs) {
        while (g < e && is_ws(*g)) g++;
        if (g < e && *g == 'R') return -1;
    }
    return v;
}

/* ASCII85 into out; stops at "~>" or the end of the data. */
static void a85_decode(const unsigned char *p, const unsigned char *e, bytes *out) {
    out->n = 0;
    reserve(out, (size_t)(e - p) / 5 * 4 + 8);
    uint32_t v = 0;
    int k = 0;
    for (; p < e; p++) {
        unsigned char c = *p;
        if (c == '~') break;
        if (is_ws(c)) continue;
        if (c == 'z' && k == 0) {
            memset(out->p + out->n, 0, 4);
            out->n += 4;
            continue;
        }
        if (c < '!' || c > 'u') continue;
        v = v * 85 + (uint32_t)(c - '!');
        if (++k == 5) {
            out->p[out->n++] = (unsigned char)(v >> 24);
            out->p[out->n++] = (unsigned char)(v >> 16);
            out->p[out->n++] = (unsigned char)(v >> 8);
            out->p[out->n++] = (unsigned char)v;
            v = 0;
            k = 0;
        }
    }
    if (k > 1) {
        for (int i = k; i < 5; i++) v = v * 85 + 84;
        for (int i = 0; i < k - 1; i++) out->p[out->n++] = (unsigned char)(v >> (24 - 8 * i));
    }
}

/* Inflates [p, p+n) into out (reused); 0 when zlib reports damage. */
static int inflate_into(z_stream *z, const unsigned char *p, size_t n, bytes *out, tally *t) {
    if (inflateReset(z) != Z_OK) die("inflateReset failed", NULL);
    z->next_in = (unsigned char *)p;
    z->avail_in = n > 0xFFFFFFFFu ? 0xFFFFFFFFu : (uInt)n;
    out->n = 0;
    int rc;
    for (;;) {
        if (out->cap - out->n < 4096) reserve(out, out->cap * 2 + 65536);
        z->next_out = out->p + out->n;
        z->avail_out = (uInt)(out->cap - out->n > 0xFFFFFFFFu ? 0xFFFFFFFFu : out->cap - out->n);
        uInt before = z->avail_out;
        rc = inflate(z, Z_NO_FLUSH);
        out->n += before - z->avail_out;
        if (rc == Z_STREAM_END) break;
        if (rc != Z_OK && rc != Z_BUF_ERROR) break;
        /* Out of input with room left: a truncated stream. */
        if (z->avail_out != 0) break;
    }
    t->in += n;
    t->out += out->n;
    return rc == Z_STREAM_END;
}

/* Inflates every Flate stream of the file in b. */
static void inflate_all(const bytes *b, z_stream *z, bytes *out, bytes *tmp, tally *t) {
    const unsigned char *base = b->p, *end = b->p + b->n, *p = base;
    while ((p = find(p, end, "stream")) != NULL) {
        const unsigned char *kw = p;
        p += 6;
        if (kw - base >= 3 && !memcmp(kw - 3, "end", 3)) continue;
        if (p >= end || (*p != '\r' && *p != '\n')) continue;
        const unsigned char *data = p + (*p == '\r' && p + 1 < end && p[1] == '\n' ? 2 : 1);
        const unsigned char *q = kw;
        while (q > base && is_ws(q[-1])) q--;
        if (q - base < 2 || q[-1] != '>' || q[-2] != '>') continue;
        const unsigned char *d = dict_start(base, q);
        if (!d) continue;
        int kind = filter_kind(d, q);
        long len = direct_length(d, q);
        const unsigned char *stop = NULL;
        if (len >= 0 && len <= end - data) {
            const unsigned char *e = data + len;
            while (e < end && is_ws(*e)) e++;
            if ((size_t)(end - e) >= 9 && !memcmp(e, "endstream", 9)) stop = data + len;
        }
        if (!stop) {
            const unsigned char *e = find(data, end, "endstream");
            if (!e) e = end;
            /* The end of line before "endstream" is left on: it may be a data
             * byte, and zlib stops at the end of the deflate data anyway. */
            stop = e;
        }
        p = stop;
        if (kind == F_NONE) continue;
        t->streams++;
        int ok;
        if (kind == F_A85_FLATE) {
            a85_decode(data, stop, tmp);
            ok = inflate_into(z, tmp->p, tmp->n, out, t);
        } else {
            ok = inflate_into(z, data, (size_t)(stop - data), out, t);
        }
        if (!ok) t->failed++;
    }
}

static double now(void) {
    struct timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return (double)ts.tv_sec + (double)ts.tv_nsec * 1e-9;
}

int main(int argc, char **argv) {
    int reps = 5, first = 1;
    if (argc > 2 && !strcmp(argv[1], "-r")) {
        reps = atoi(argv[2]);
        first = 3;
    }
    if (reps < 1 || first >= argc) {
        fprintf(stderr, "usage: floor [-r R] FILE...\n");
        return 2;
    }
    int nfiles = argc - first;
    double *best = malloc(sizeof(double) * (size_t)nfiles);
    tally *tl = calloc((size_t)nfiles, sizeof(tally));
    size_t *sizes = calloc((size_t)nfiles, sizeof(size_t));
    if (!best || !tl || !sizes) die("out of memory", NULL);
    for (int i = 0; i < nfiles; i++) best[i] = 1e30;

    z_stream z;
    memset(&z, 0, sizeof z);
    if (inflateInit(&z) != Z_OK) die("inflateInit failed", NULL);
    bytes file = {0}, out = {0}, tmp = {0};
    double best_total = 1e30;
    for (int r = 0; r < reps; r++) {
        double t0 = now();
        for (int i = 0; i < nfiles; i++) {
            double f0 = now();
            if (!read_file(argv[first + i], &file)) die("cannot read", argv[first + i]);
            tally t = {0, 0, 0, 0};
            inflate_all(&file, &z, &out, &tmp, &t);
            double dt = now() - f0;
            if (dt < best[i]) best[i] = dt;
            tl[i] = t;
            sizes[i] = file.n;
        }
        double dt = now() - t0;
        if (dt < best_total) best_total = dt;
    }
    tally sum = {0, 0, 0, 0};
    for (int i = 0; i < nfiles; i++) {
        printf("file %s %zu %ld %zu %zu %ld %.6f\n", argv[first + i], sizes[i], tl[i].streams, tl[i].in,
               tl[i].out, tl[i].failed, best[i]);
        sum.streams += tl[i].streams;
        sum.failed += tl[i].failed;
        sum.in += tl[i].in;
        sum.out += tl[i].out;
    }
    printf("total %d %ld %zu %zu %ld %.6f\n", nfiles, sum.streams, sum.in, sum.out, sum.failed, best_total);
    inflateEnd(&z);
    free(file.p);
    free(out.p);
    free(tmp.p);
    free(best);
    free(tl);
    free(sizes);
    return 0;
}
