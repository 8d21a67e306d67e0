/*
 * tarnwick-pdftext: PDF to UTF-8 text.
 *
 * Two ways in.  The one-call functions (pdftext_page_count ...
 * pdftext_search) load the file, do their work and release the document
 * before they return.  A document handle (pdftext_open ...) loads a file
 * or a memory block once and answers for its pages until pdftext_close;
 * a page's text through a handle is byte for byte what
 * pdftext_extract_page gives.
 *
 * Paths and phrases are NUL-terminated UTF-8 byte strings.  All texts are
 * UTF-8.
 *
 * Ownership and lifetime of what the functions return:
 *  - pdftext_extract_all and pdftext_extract_page: the text belongs to the
 *    library.  It stays valid until the same thread's next successful call
 *    of either function, its pdftext_cleanup, or the end of the thread; the
 *    host must not free it.
 *  - pdftext_search: a buffer of the library that stays valid until the
 *    same thread's next pdftext_search or the end of the thread.
 *  - pdftext_last_error: the calling thread's message buffer, never null,
 *    valid until the thread ends; its text changes with the thread's next
 *    failing call.
 *  - pdftext_doc_page_text, pdftext_doc_text and the page array of
 *    pdftext_doc_search: blocks the caller owns and releases with
 *    pdftext_free (null is allowed there).
 *  - pdftext_open and pdftext_open_memory: a handle the caller releases
 *    with pdftext_close.
 *  - pdftext_version: a constant string.
 *
 * Threads: any thread may call any function.  The last error and the
 * results of the one-call functions are kept per thread, so threads
 * working on their own files need no lock.  Different handles may be used
 * from different threads at the same time; one handle must be used by one
 * thread at a time (the caller serialises the calls on it).
 */
#ifndef PDFTEXT_H
#define PDFTEXT_H

#if defined(_WIN32) || defined(__CYGWIN__)
#  if defined(PDFTEXT_BUILD)
#    define PDFTEXT_API __declspec(dllexport)
#  elif defined(PDFTEXT_STATIC)
#    define PDFTEXT_API
#  else
#    define PDFTEXT_API __declspec(dllimport)
#  endif
#elif defined(__GNUC__) && defined(PDFTEXT_BUILD)
#  define PDFTEXT_API __attribute__((visibility("default")))
#else
#  define PDFTEXT_API
#endif

#include <stddef.h>

#ifdef __cplusplus
extern "C" {
#endif

/* Clears the last error message; returns 1.  Optional. */
PDFTEXT_API int pdftext_init(void);

/* Clears the last error message and frees the last returned text. */
PDFTEXT_API void pdftext_cleanup(void);

/* The last error message (UTF-8, empty when none).  Never null. */
PDFTEXT_API const char *pdftext_last_error(void);

/* Number of pages, or -1 on failure (see pdftext_last_error). */
PDFTEXT_API int pdftext_page_count(const char *path);

/* Text of page `page` (1-based), owned by the library; null on failure. */
PDFTEXT_API const char *pdftext_extract_page(const char *path, int page);

/* Text of all pages separated by form feeds, owned by the library;
 * null on failure. */
PDFTEXT_API const char *pdftext_extract_all(const char *path);

/* Writes the text of all pages to out_path; 1 on success, 0 on failure. */
PDFTEXT_API int pdftext_to_file(const char *path, const char *out_path);

/* JSON list of the pages containing `query`, e.g.
 * {"found":true,"pages":[2,5],"count":2}.  Never null. */
PDFTEXT_API const char *pdftext_search(const char *path, const char *query);

/* ---- Document handles ------------------------------------------------ */

typedef struct pdftext_doc pdftext_doc;

/* The library's version, e.g. "0.2.0".  A constant string. */
PDFTEXT_API const char *pdftext_version(void);

/* Opens the PDF file at `path`.  A handle to release with pdftext_close,
 * or null on failure with the message of the one-call functions (for
 * example "cannot open PATH", "encrypted PDFs are not supported: PATH"). */
PDFTEXT_API pdftext_doc *pdftext_open(const char *path);

/* Opens a PDF held in memory: the library copies the `len` bytes, so the
 * block may be freed or changed as soon as this returns.  Messages name
 * the document "<memory>".  Null on failure. */
PDFTEXT_API pdftext_doc *pdftext_open_memory(const void *data, size_t len);

/* Releases the handle and everything it holds; null is allowed. */
PDFTEXT_API void pdftext_close(pdftext_doc *doc);

/* Number of pages, or -1 on failure ("no pages found in ..." for a file
 * without a page tree). */
PDFTEXT_API int pdftext_doc_page_count(pdftext_doc *doc);

/* Text of page `page` (1-based) in a NUL-terminated block the caller
 * releases with pdftext_free; its length in bytes in *len when len is not
 * null.  Null on failure (a page out of range, for instance). */
PDFTEXT_API char *pdftext_doc_page_text(pdftext_doc *doc, int page, size_t *len);

/* Text of all pages separated by form feeds, as pdftext_extract_all gives
 * it, in a block the caller releases with pdftext_free; length in *len
 * when len is not null.  Null on failure. */
PDFTEXT_API char *pdftext_doc_text(pdftext_doc *doc, size_t *len);

/* Pages holding `phrase`, compared as pdftext_search compares (white space
 * and no-break spaces ignored, ASCII letters in either case, the phrase
 * cut to 255 bytes), with no limit on their number.  Returns how many
 * pages match and sets *pages to an ascending array of their 1-based
 * numbers that the caller releases with pdftext_free (null when none
 * match); -1 on failure with *pages null. */
PDFTEXT_API int pdftext_doc_search(pdftext_doc *doc, const char *phrase, int **pages);

/* Releases a block that a pdftext_doc_ function handed to the caller;
 * null is allowed. */
PDFTEXT_API void pdftext_free(void *p);

#ifdef __cplusplus
}
#endif

#endif /* PDFTEXT_H */
