# cmake -DFROM=dir -DTO=dir -DFILES=a;b -P copy_shared_files.cmake
# Copies the 32-bit release set's shared files beside the 64-bit program; a
# missing one means the 32-bit tree has not been built yet.
foreach(name ${FILES})
    if(NOT EXISTS "${FROM}/${name}")
        message(FATAL_ERROR "${FROM}/${name} is missing: build the 32-bit tree first "
                            "(cmake --preset x86 && cmake --build --preset x86)")
    endif()
    file(COPY_FILE "${FROM}/${name}" "${TO}/${name}" ONLY_IF_DIFFERENT)
endforeach()
