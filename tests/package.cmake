# The programs' help and manual pages, and the files that tell a Linux
# desktop about the program. The Debian package itself is built, installed
# and removed by scripts/check-package.sh.
if(WIN32)
    return()
endif()
set(_package ${CMAKE_CURRENT_SOURCE_DIR}/package)

set(_pages "")
foreach(_page IN LISTS ORVEX_MAN_PAGES)
    get_filename_component(_name ${_page} NAME_WE)
    list(APPEND _pages $<TARGET_FILE:${_name}> ${_page})
endforeach()
orvex_add_test(package_help_tests COMMAND ${_package}/help-and-man-test.sh
    ${PROJECT_VERSION} $<TARGET_FILE:orvex-cli> ${_pages}
    DEPS orvex-cli ${ORVEX_MAN_PAGES_TARGET} LABELS package)

if(ORVEX_DIST_DIR)
    orvex_add_test(package_desktop_files_tests COMMAND ${_package}/desktop-files-test.sh
        ${ORVEX_DIST_DIR} $<TARGET_FILE:orvex-cli> ${ORVEX_MIME_TYPE}
        DEPS orvex-cli ${ORVEX_ICONS_TARGET} LABELS package)
endif()
