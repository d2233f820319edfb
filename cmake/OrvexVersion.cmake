# The program's version and identity, defined here once: the programs print
# them (orvex/Version.h), and the desktop files, the package and the man
# pages are made from them.
# The application id names the desktop file and the AppStream component, and
# is what Wayland matches the window to.
set(ORVEX_APP_ID "org.orvex.programmer")
set(ORVEX_MIME_TYPE "application/x-orvex-settings")
set(ORVEX_SUMMARY "Read, edit and write the channels of an ORVEX 27 MHz radio")
# The day this version was released: the AppStream release, the manual
# pages and the package's change log carry it.
set(ORVEX_RELEASE_DATE "2026-12-09")

configure_file(${CMAKE_CURRENT_LIST_DIR}/Version.h.in
    ${PROJECT_BINARY_DIR}/generated/orvex/Version.h @ONLY)
add_library(orvex_version INTERFACE)
target_include_directories(orvex_version INTERFACE ${PROJECT_BINARY_DIR}/generated)
