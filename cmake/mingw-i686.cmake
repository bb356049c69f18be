# Cross build for 32-bit Windows with MinGW-w64: the program users get.
set(CMAKE_SYSTEM_PROCESSOR i686)
set(KELDRIN_MINGW_TRIPLE i686-w64-mingw32)
set(KELDRIN_WINE_FLAVOUR x86)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
