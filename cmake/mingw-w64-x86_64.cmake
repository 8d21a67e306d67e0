# Cross-building the Windows x86-64 DLL with Debian's MinGW-w64 compilers
# (package g++-mingw-w64-x86-64-posix):
#
#   cmake -S . -B build-mingw -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake \
#         -DPDFTEXT_TESTS=OFF -DPDFTEXT_BENCH=OFF
#
# The C and C++ runtimes (libgcc, libstdc++, winpthread) are linked
# statically, so the DLL and the programs need only the DLLs Windows ships.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(PDFTEXT_MINGW_PREFIX x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${PDFTEXT_MINGW_PREFIX}-gcc-posix)
set(CMAKE_CXX_COMPILER ${PDFTEXT_MINGW_PREFIX}-g++-posix)
set(CMAKE_RC_COMPILER ${PDFTEXT_MINGW_PREFIX}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${PDFTEXT_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# -static makes the driver take libwinpthread.a instead of its import library.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")

