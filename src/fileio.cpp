// Opening the files the exports name.
#include "api.h"

namespace pdftext {

FILE* file_open(const char* path, const char* mode) { return fopen(path, mode); }

}  // namespace pdftext
