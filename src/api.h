// Library interface internals: the error writer.
#pragma once

namespace pdftext {

// Formats the message into the library's last-error text (cut to 1023
// bytes, always NUL-terminated).
#if defined(__GNUC__)
__attribute__((format(printf, 1, 2)))
#endif
void set_error(const char* fmt, ...);

// Empties the last-error text.
void clear_error();

}  // namespace pdftext

#include <cstdio>

namespace pdftext {

// fopen for the paths the exports take (UTF-8 byte strings).
FILE* file_open(const char* path, const char* mode);

}  // namespace pdftext
