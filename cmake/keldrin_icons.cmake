# The icons, drawn at build time from their one source, src/app/icon/keldrin.svg:
# rsvg-convert renders each size as a PNG file, icotool packs the sizes into an
# .ico file, which windres then stores as it is.
#
# KELDRIN_PROGRAM_ICON, Keldrin.exe's file icon: every size Explorer shows, up
# to 256 pixels. The images up to 64 pixels are 32-bit bitmaps with alpha
# (Windows XP reads no PNG in an icon); 96, 128 and 256 pixels are stored as
# PNG: Vista and later show them (Large icons and the larger views, Medium
# icons at 200 %) and read PNG, while XP's Explorer views show 16 to 48
# pixels. As bitmaps they would weigh 38,056, 67,624 and 270,376 bytes (96
# and 128 alone would take the program from 135 to 228 KB); as PNG about 5.3,
# 7.1 and 14.8 KB.
# KELDRIN_WINDOW_ICON, every module's window icon: the sizes a caption, the
# taskbar and Alt+Tab ask for from 100 to 200 % (16, 20, 24, 32 small; 32, 40,
# 48, 64 large), bitmaps only, so a module stays small.
#
# The PNG files stay in KELDRIN_ICON_DIR to be looked at.
set(KELDRIN_ICON_SOURCE ${CMAKE_CURRENT_LIST_DIR}/../src/app/icon/keldrin.svg)
set(KELDRIN_ICON_DIR ${CMAKE_BINARY_DIR}/icon)
set(KELDRIN_PROGRAM_ICON ${KELDRIN_ICON_DIR}/keldrin.ico)
set(KELDRIN_WINDOW_ICON ${KELDRIN_ICON_DIR}/keldrin_window.ico)
set(KELDRIN_WINDOW_ICON_SIZES 16 20 24 32 40 48 64)
set(KELDRIN_PROGRAM_ICON_PNG_SIZES 96 128 256)
set(KELDRIN_PROGRAM_ICON_SIZES ${KELDRIN_WINDOW_ICON_SIZES} ${KELDRIN_PROGRAM_ICON_PNG_SIZES})

find_program(RSVG_CONVERT rsvg-convert)
find_program(ICOTOOL icotool)
if(NOT RSVG_CONVERT OR NOT ICOTOOL)
    message(FATAL_ERROR "The icons are drawn with rsvg-convert (Debian package librsvg2-bin) and packed "
                        "with icotool (icoutils); scripts/run.sh and scripts/test.sh install both.")
endif()
file(MAKE_DIRECTORY ${KELDRIN_ICON_DIR})

foreach(size ${KELDRIN_PROGRAM_ICON_SIZES})
    # The SVG holds a second drawing made for 16 pixels (see its comment).
    if(size EQUAL 16)
        set(drawing keldrin-16)
    else()
        set(drawing keldrin)
    endif()
    add_custom_command(OUTPUT ${KELDRIN_ICON_DIR}/keldrin-${size}.png
        COMMAND ${RSVG_CONVERT} --export-id=${drawing} --width=${size} --height=${size}
                --output=${KELDRIN_ICON_DIR}/keldrin-${size}.png ${KELDRIN_ICON_SOURCE}
        DEPENDS ${KELDRIN_ICON_SOURCE}
        COMMENT "Rendering the ${size}-pixel icon"
        VERBATIM)
endforeach()

set(bitmaps)
foreach(size ${KELDRIN_WINDOW_ICON_SIZES})
    list(APPEND bitmaps ${KELDRIN_ICON_DIR}/keldrin-${size}.png)
endforeach()
set(pngs)
set(raw_pngs)
foreach(size ${KELDRIN_PROGRAM_ICON_PNG_SIZES})
    list(APPEND pngs ${KELDRIN_ICON_DIR}/keldrin-${size}.png)
    list(APPEND raw_pngs --raw=${KELDRIN_ICON_DIR}/keldrin-${size}.png)
endforeach()
add_custom_command(OUTPUT ${KELDRIN_PROGRAM_ICON}
    COMMAND ${ICOTOOL} --create --bit-depth=32 --output=${KELDRIN_PROGRAM_ICON} ${bitmaps} ${raw_pngs}
    DEPENDS ${bitmaps} ${pngs}
    COMMENT "Packing the program's icon"
    VERBATIM)
add_custom_command(OUTPUT ${KELDRIN_WINDOW_ICON}
    COMMAND ${ICOTOOL} --create --bit-depth=32 --output=${KELDRIN_WINDOW_ICON} ${bitmaps}
    DEPENDS ${bitmaps}
    COMMENT "Packing the window icon"
    VERBATIM)
# Whatever embeds an icon depends on this target (the icons are made in this
# directory, used in others) and names the .ico file in OBJECT_DEPENDS.
add_custom_target(keldrin_icons DEPENDS ${KELDRIN_PROGRAM_ICON} ${KELDRIN_WINDOW_ICON})
