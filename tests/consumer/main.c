/* A program that uses the installed library the way a host program would:
 * it prints the page count and the text of page 1 of argv[1], once through
 * a document handle and once through the one-call functions, and fails
 * when the two ways disagree. */
#include <pdftext.h>

#include <stdio.h>
#include <string.h>

int main(int argc, char **argv)
{
    if (argc != 2) {
        fprintf(stderr, "usage: %s FILE.pdf\n", argv[0]);
        return 2;
    }
    const char *path = argv[1];

    pdftext_doc *doc = pdftext_open(path);
    if (!doc) {
        fprintf(stderr, "pdftext_open: %s\n", pdftext_last_error());
        return 1;
    }
    int pages = pdftext_doc_page_count(doc);
    size_t len = 0;
    char *text = pdftext_doc_page_text(doc, 1, &len);
    pdftext_close(doc);
    if (pages < 1 || !text) {
        fprintf(stderr, "handle: %s\n", pdftext_last_error());
        pdftext_free(text);
        return 1;
    }

    int pages1 = pdftext_page_count(path);
    const char *text1 = pdftext_extract_page(path, 1);
    if (pages1 != pages || !text1 || strlen(text1) != len || memcmp(text1, text, len) != 0) {
        fprintf(stderr, "the one-call functions disagree with the handle: %s\n", pdftext_last_error());
        pdftext_free(text);
        return 1;
    }

    printf("library %s\npages %d\n", pdftext_version(), pages);
    fwrite(text, 1, len, stdout);
    pdftext_free(text);
    pdftext_cleanup();
    return ferror(stdout) ? 1 : 0;
}
