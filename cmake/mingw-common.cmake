# What both MinGW-w64 toolchain files share; each sets KELDRIN_MINGW_TRIPLE and
# KELDRIN_WINE_FLAVOUR and includes this. The posix thread model is required:
# GoogleTest needs std::mutex, which the win32 model lacks.
set(CMAKE_SYSTEM_NAME Windows)

if(CMAKE_HOST_WIN32)
    # On Windows, from the MSYS2 shell of this flavour (MINGW32 or MINGW64),
    # whose gcc builds for it; the tests then run natively.
    set(CMAKE_C_COMPILER   gcc)
    set(CMAKE_CXX_COMPILER g++)
    set(CMAKE_RC_COMPILER  windres)
    return()
endif()

set(CMAKE_C_COMPILER   ${KELDRIN_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${KELDRIN_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER  ${KELDRIN_MINGW_TRIPLE}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${KELDRIN_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)

# Test executables run under Wine, through the project's one way into it,
# with the loader of this flavour.
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/../scripts/keldrin-wine --arch=${KELDRIN_WINE_FLAVOUR})
