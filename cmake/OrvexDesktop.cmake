# What a Linux desktop needs to show the program and its files: the desktop
# file, the .kvx file type, the icons, the AppStream data and the manual
# pages. Made from the templates in dist/ with the names and version of
# OrvexVersion.cmake.
if(NOT UNIX OR APPLE)
    return()
endif()

set(_dist ${PROJECT_SOURCE_DIR}/dist)
set(ORVEX_DIST_DIR ${PROJECT_BINARY_DIR}/dist)
string(REPLACE "/" "-" ORVEX_MIME_ICON "${ORVEX_MIME_TYPE}")

configure_file(${_dist}/orvex-mime.xml.in ${ORVEX_DIST_DIR}/${ORVEX_APP_ID}.xml @ONLY)
install(FILES ${ORVEX_DIST_DIR}/${ORVEX_APP_ID}.xml DESTINATION share/mime/packages)
set(_icons settings-file:mimetypes/${ORVEX_MIME_ICON})
if(ORVEX_HAVE_QT)
    configure_file(${_dist}/orvex.desktop.in ${ORVEX_DIST_DIR}/${ORVEX_APP_ID}.desktop @ONLY)
    configure_file(${_dist}/orvex.metainfo.xml.in ${ORVEX_DIST_DIR}/${ORVEX_APP_ID}.metainfo.xml @ONLY)
    install(FILES ${ORVEX_DIST_DIR}/${ORVEX_APP_ID}.desktop DESTINATION share/applications)
    install(FILES ${ORVEX_DIST_DIR}/${ORVEX_APP_ID}.metainfo.xml DESTINATION share/metainfo)
    list(APPEND _icons orvex:apps/orvex)
endif()

# Icons: the SVGs are the sources; the PNG sizes are rendered from them when
# rsvg-convert is there (desktops that scale SVGs need only those).
find_program(ORVEX_RSVG_CONVERT rsvg-convert)
if(NOT ORVEX_RSVG_CONVERT)
    message(STATUS "rsvg-convert not found: only the scalable icons are installed")
endif()
set(_rendered "")
foreach(_icon IN LISTS _icons)
    string(REPLACE ":" ";" _icon "${_icon}")
    list(GET _icon 0 _source)
    list(GET _icon 1 _name)
    set(_svg ${_dist}/icons/${_source}.svg)
    get_filename_component(_context ${_name} DIRECTORY)
    get_filename_component(_base ${_name} NAME)
    install(FILES ${_svg} DESTINATION share/icons/hicolor/scalable/${_context} RENAME ${_base}.svg)
    if(ORVEX_RSVG_CONVERT)
        foreach(_size 16 24 32 48 64 128 256)
            set(_png ${ORVEX_DIST_DIR}/icons/${_size}x${_size}/${_name}.png)
            add_custom_command(OUTPUT ${_png}
                COMMAND ${CMAKE_COMMAND} -E make_directory ${ORVEX_DIST_DIR}/icons/${_size}x${_size}/${_context}
                COMMAND ${ORVEX_RSVG_CONVERT} -w ${_size} -h ${_size} -o ${_png} ${_svg}
                DEPENDS ${_svg} VERBATIM)
            list(APPEND _rendered ${_png})
            install(FILES ${_png} DESTINATION share/icons/hicolor/${_size}x${_size}/${_context})
        endforeach()
    endif()
endforeach()
set(ORVEX_ICONS_TARGET "")
if(_rendered)
    add_custom_target(orvex_icons ALL DEPENDS ${_rendered})
    set(ORVEX_ICONS_TARGET orvex_icons)
endif()

# Manual pages, from each program's own --help. They run the programs, so a
# cross build or an instrumented one makes none.
set(ORVEX_MAN_DIR ${PROJECT_BINARY_DIR}/man)
set(ORVEX_MAN_PAGES "")
set(ORVEX_MAN_PAGES_TARGET "")
if(CMAKE_CROSSCOMPILING OR ORVEX_SANITIZE OR ORVEX_FUZZ)
    return()
endif()
set(_programs "orvex-cli:the ORVEX 27 MHz radio's settings from the command line"
    "orvex-radio-sim:a simulated ORVEX radio on a pseudo-terminal, for trying and testing without hardware:NO_VERSION")
if(ORVEX_HAVE_QT)
    list(APPEND _programs "orvex:${ORVEX_SUMMARY}")
endif()
set(_names "")
foreach(_program IN LISTS _programs)
    string(REGEX MATCH "^[^:]+" _name "${_program}")
    list(APPEND _names ${_name})
endforeach()
foreach(_program IN LISTS _programs)
    string(REPLACE ":" ";" _program "${_program}")
    list(GET _program 0 _name)
    list(GET _program 1 _summary)
    set(_no_version OFF)
    list(LENGTH _program _fields)
    if(_fields GREATER 2)
        set(_no_version ON)
    endif()
    set(_see_also ${_names})
    list(REMOVE_ITEM _see_also ${_name})
    string(REPLACE ";" "\\;" _see_also "${_see_also}")
    set(_page ${ORVEX_MAN_DIR}/${_name}.1)
    add_custom_command(OUTPUT ${_page} ${_page}.gz
        COMMAND ${CMAKE_COMMAND} -DPROGRAM=$<TARGET_FILE:${_name}> -DNAME=${_name}
            -DSUMMARY=${_summary} -DDATE=${ORVEX_RELEASE_DATE} -DSOURCE=orvex\ ${PROJECT_VERSION}
            -DSEE_ALSO=${_see_also} -DNO_VERSION=${_no_version} -DOUT=${_page}
            -P ${PROJECT_SOURCE_DIR}/cmake/OrvexManPage.cmake
        DEPENDS ${_name} ${PROJECT_SOURCE_DIR}/cmake/OrvexManPage.cmake VERBATIM)
    list(APPEND ORVEX_MAN_PAGES ${_page})
    install(FILES ${_page}.gz DESTINATION share/man/man1)
endforeach()
add_custom_target(orvex_man_pages ALL DEPENDS ${ORVEX_MAN_PAGES})
set(ORVEX_MAN_PAGES_TARGET orvex_man_pages)
