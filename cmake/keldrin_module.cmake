# keldrin_module(<target> <file name> <rc file> [OUTPUT_DIRECTORY dir] [INCLUDE_DIRECTORIES dir...])
# A resource module: resources only, no code, entry point 0. Each language
# file holds its texts and includes the one set of templates, so a module
# depends on all of them. resource_only.ld keeps the .rsrc section alone: no
# import or export directory. The window icon is the build's own rendering
# (keldrin_icons.cmake), found through the include path. The shipped modules
# land in KELDRIN_DIST; the tests build altered ones elsewhere with the same
# function.
set(KELDRIN_MODULE_SOURCES ${CMAKE_CURRENT_LIST_DIR}/../src/resources/modules)
set(KELDRIN_MODULE_LINK_SCRIPT ${KELDRIN_MODULE_SOURCES}/resource_only.ld)

function(keldrin_module target file_name rc_file)
    cmake_parse_arguments(MODULE "" "OUTPUT_DIRECTORY" "INCLUDE_DIRECTORIES" ${ARGN})
    if(MODULE_OUTPUT_DIRECTORY)
        set(archives ${MODULE_OUTPUT_DIRECTORY}-lib)   # the import library, kept out of the module's folder
    else()
        set(MODULE_OUTPUT_DIRECTORY ${KELDRIN_DIST})
        set(archives ${CMAKE_CURRENT_BINARY_DIR})
    endif()
    file(GLOB shared CONFIGURE_DEPENDS ${KELDRIN_MODULE_SOURCES}/*.rc)
    list(APPEND shared ${KELDRIN_MODULE_SOURCES}/../resource_ids.h ${KELDRIN_WINDOW_ICON})
    add_library(${target} SHARED ${rc_file})
    target_include_directories(${target} PRIVATE ${MODULE_INCLUDE_DIRECTORIES} ${KELDRIN_ICON_DIR})
    add_dependencies(${target} keldrin_icons)
    set_target_properties(${target} PROPERTIES
        PREFIX "" OUTPUT_NAME ${file_name} SUFFIX ".dll"
        LINKER_LANGUAGE C
        RUNTIME_OUTPUT_DIRECTORY ${MODULE_OUTPUT_DIRECTORY}
        ARCHIVE_OUTPUT_DIRECTORY ${archives}
        LINK_DEPENDS ${KELDRIN_MODULE_LINK_SCRIPT})
    target_link_options(${target} PRIVATE -nostdlib -Wl,-e,0 -Wl,-T,${KELDRIN_MODULE_LINK_SCRIPT} -s)
    set_source_files_properties(${rc_file} PROPERTIES OBJECT_DEPENDS "${shared}")
endfunction()
