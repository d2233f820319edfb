# What a Windows build needs around its programs: the application and
# file-type icons as .ico files (rendered from the SVG sources on the build
# machine) and the resource script that puts the icon into orvex.exe.
if(NOT WIN32)
    return()
endif()
set(ORVEX_WINDOWS_DIST_DIR ${PROJECT_BINARY_DIR}/dist/windows)
find_program(ORVEX_RSVG_CONVERT rsvg-convert)
find_program(ORVEX_ICOTOOL icotool)
set(ORVEX_WINDOWS_ICONS "")
if(ORVEX_RSVG_CONVERT AND ORVEX_ICOTOOL)
    foreach(_icon orvex settings-file)
        set(_pngs "")
        set(_steps "")
        foreach(_size 16 24 32 48 256)
            set(_png ${ORVEX_WINDOWS_DIST_DIR}/${_icon}-${_size}.png)
            list(APPEND _pngs ${_png})
            list(APPEND _steps COMMAND ${ORVEX_RSVG_CONVERT} -w ${_size} -h ${_size}
                -o ${_png} ${PROJECT_SOURCE_DIR}/dist/icons/${_icon}.svg)
        endforeach()
        add_custom_command(OUTPUT ${ORVEX_WINDOWS_DIST_DIR}/${_icon}.ico
            COMMAND ${CMAKE_COMMAND} -E make_directory ${ORVEX_WINDOWS_DIST_DIR}
            ${_steps}
            COMMAND ${ORVEX_ICOTOOL} -c -o ${ORVEX_WINDOWS_DIST_DIR}/${_icon}.ico ${_pngs}
            DEPENDS ${PROJECT_SOURCE_DIR}/dist/icons/${_icon}.svg VERBATIM)
        list(APPEND ORVEX_WINDOWS_ICONS ${ORVEX_WINDOWS_DIST_DIR}/${_icon}.ico)
    endforeach()
    add_custom_target(orvex_windows_icons ALL DEPENDS ${ORVEX_WINDOWS_ICONS})
    # The resource compiler takes the icon by its path.
    file(WRITE ${ORVEX_WINDOWS_DIST_DIR}/orvex.rc "1 ICON \"${ORVEX_WINDOWS_DIST_DIR}/orvex.ico\"\n")
    set(ORVEX_WINDOWS_RC ${ORVEX_WINDOWS_DIST_DIR}/orvex.rc)
else()
    message(STATUS "rsvg-convert or icotool not found: the Windows programs get no icon")
    set(ORVEX_WINDOWS_RC "")
endif()

# Where a cross build's programs find their DLLs under Wine: the compiler's
# runtime here, Qt's once it is found (see the top CMakeLists.txt).
if(CMAKE_CROSSCOMPILING)
    execute_process(COMMAND ${CMAKE_CXX_COMPILER} -print-libgcc-file-name
        OUTPUT_VARIABLE _libgcc OUTPUT_STRIP_TRAILING_WHITESPACE)
    get_filename_component(_runtime ${_libgcc} DIRECTORY)
    set(ORVEX_WINDOWS_DLL_DIRS "${_runtime}:/usr/x86_64-w64-mingw32/lib")
endif()
