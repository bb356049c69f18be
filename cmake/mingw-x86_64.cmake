# Cross build for 64-bit Windows with MinGW-w64: the same program for x86_64,
# for machines that run no 32-bit programs. The whole source builds for it
# with the product's warnings as errors.
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(KELDRIN_MINGW_TRIPLE x86_64-w64-mingw32)
set(KELDRIN_WINE_FLAVOUR x64)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
