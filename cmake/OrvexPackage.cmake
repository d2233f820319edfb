# `cpack -G DEB` in a build folder: one Debian package with the programs, the
# desktop integration (OrvexDesktop.cmake) and the cable udev rule.
# Dependencies come from dpkg-shlibdeps, so they are those of the libraries
# the build linked against.
if(NOT UNIX OR APPLE)
    return()
endif()

set(CPACK_PACKAGE_NAME orvex)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "The ORVEX Programmer developers")
set(ORVEX_PACKAGE_CONTACT "ORVEX Programmer developers <packages@orvex.org>"
    CACHE STRING "The package's Maintainer: field")
set(CPACK_PACKAGE_CONTACT "${ORVEX_PACKAGE_CONTACT}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "${ORVEX_SUMMARY}")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)

set(CPACK_DEBIAN_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_DEBIAN_PACKAGE_RELEASE 1)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION hamradio)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# One message has a Korean headline, which shows as empty boxes where no
# font covers Hangul: the fonts Debian's Korean desktop has, and the first
# fontconfig takes for Korean sans-serif text. scripts/install-deps.sh
# installs what is named here, so keep it on one line.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS fonts-nanum)
# The long description; CPack puts the summary before it and indents it.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "ORVEX Programmer reads the channel frequencies, band plan, emergency
channel and channel flags of an ORVEX 27 MHz radio through its serial
programming cable, lets you edit them and writes them back. Settings are
kept in .kvx files, every read is backed up, and a write can be verified
by reading it back.
.
The package holds the desktop application (orvex), the command-line tool
(orvex-cli, which also clones one file into many radios) and a simulated
radio (orvex-radio-sim), and a udev rule that gives the user at the seat
the common USB-serial cables and keeps ModemManager off them.")

# The documents every Debian package carries.
set(_doc ${PROJECT_BINARY_DIR}/debian)
execute_process(COMMAND date -u -R -d "${ORVEX_RELEASE_DATE} 00:00:00"
    OUTPUT_VARIABLE ORVEX_RELEASE_DATE_RFC2822 OUTPUT_STRIP_TRAILING_WHITESPACE)
configure_file(${PROJECT_SOURCE_DIR}/dist/debian/changelog.in ${_doc}/changelog.Debian @ONLY)
add_custom_command(OUTPUT ${_doc}/changelog.Debian.gz
    COMMAND gzip -9 -n -f -k ${_doc}/changelog.Debian
    DEPENDS ${_doc}/changelog.Debian VERBATIM)
add_custom_target(orvex_package_docs ALL DEPENDS ${_doc}/changelog.Debian.gz)
install(FILES ${PROJECT_SOURCE_DIR}/dist/debian/copyright ${_doc}/changelog.Debian.gz
    DESTINATION share/doc/${CPACK_PACKAGE_NAME})

include(CPack)
