/*
 * tarnwick-pdftext: PDF to UTF-8 text.
 *
 * Every function that takes a path loads the file, does its work and
 * releases the document before it returns; nothing of a document survives
 * between calls.  Paths are NUL-terminated byte strings passed to fopen.
 *
 * Ownership: the texts returned by pdftext_extract_all and
 * pdftext_extract_page belong to the library.  Each stays valid until the
 * next successful call of either function or until pdftext_cleanup; the
 * host must not free it.  pdftext_search returns a static buffer that stays
 * valid until the next pdftext_search.  pdftext_last_error never returns
 * null.
 *
 * The library keeps its last result and last message in process-wide
 * storage: call it from one thread at a time.
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

#ifdef __cplusplus
}
#endif

#endif /* PDFTEXT_H */
