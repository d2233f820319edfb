# cmake -DPROGRAM=path -DNAME=name -DSUMMARY=text -DDATE=yyyy-mm-dd
#       -DSOURCE=package-and-version [-DSEE_ALSO=a;b] [-DNO_VERSION=ON]
#       -DOUT=file.1 -P OrvexManPage.cmake
# Writes the manual page of a program from what its --help and --version
# print, so the page and the program cannot tell different stories; then
# OUT.gz beside it, compressed as Debian installs manual pages.
foreach(_var PROGRAM NAME SUMMARY DATE SOURCE OUT)
    if(NOT DEFINED ${_var})
        message(FATAL_ERROR "OrvexManPage: ${_var} not given")
    endif()
endforeach()

# The program may be a window program: its help must not need a display.
set(ENV{QT_QPA_PLATFORM} offscreen)
set(ENV{LC_ALL} C.UTF-8)

function(_orvex_run option out)
    execute_process(COMMAND ${PROGRAM} ${option}
        OUTPUT_VARIABLE _text ERROR_VARIABLE _err RESULT_VARIABLE _rc TIMEOUT 60)
    if(NOT _rc STREQUAL "0")
        message(FATAL_ERROR "${NAME} ${option} failed (${_rc}): ${_err}")
    endif()
    # A program that names itself by argv[0] prints the build folder's path.
    string(REPLACE "${PROGRAM}" "${NAME}" _text "${_text}")
    string(STRIP "${_text}" _text)
    set(${out} "${_text}" PARENT_SCOPE)
endfunction()

# Text as roff shows it literally: backslashes and minus signs escaped, and
# no line taken for a request.
function(_orvex_roff text out)
    string(REPLACE "\\" "\\e" text "${text}")
    string(REPLACE "-" "\\-" text "${text}")
    string(REGEX REPLACE "(^|\n)([.'])" "\\1\\\\&\\2" text "${text}")
    set(${out} "${text}" PARENT_SCOPE)
endfunction()

_orvex_run(--help _help)
if(NOT NO_VERSION)
    _orvex_run(--version _version)
endif()

string(REGEX MATCH "^[Uu]sage: *${NAME}([^\n]*)" _usage "${_help}")
if(NOT _usage)
    message(FATAL_ERROR "${NAME} --help does not begin with \"usage: ${NAME}\":\n${_help}")
endif()
string(STRIP "${CMAKE_MATCH_1}" _synopsis)
string(FIND "${_help}" "\n" _eol)
set(_body "")
if(_eol GREATER -1)
    math(EXPR _eol "${_eol} + 1")
    string(SUBSTRING "${_help}" ${_eol} -1 _body)
    # Blank lines go, the first line's indent stays.
    string(REGEX REPLACE "^\n+" "" _body "${_body}")
endif()

string(TOUPPER "${NAME}" _title)
_orvex_roff("${NAME}" _rname)
_orvex_roff("${SUMMARY}" _rsummary)
_orvex_roff("${_synopsis}" _rsynopsis)
_orvex_roff("${_body}" _rbody)
_orvex_roff("${_version}" _rversion)
_orvex_roff("${_title}" _rtitle)
_orvex_roff("${SOURCE}" _rsource)

set(_page ".TH ${_rtitle} 1 \"${DATE}\" \"${_rsource}\" \"User Commands\"
.SH NAME
${_rname} \\- ${_rsummary}
.SH SYNOPSIS
.B ${_rname}
${_rsynopsis}
.SH DESCRIPTION
What
.B ${_rname} \\-\\-help
prints:
.PP
.nf
${_rbody}
.fi
")
if(NOT NO_VERSION)
    string(APPEND _page ".SH VERSION\n${_rversion}\n")
endif()
if(SEE_ALSO)
    list(SORT SEE_ALSO)
    set(_refs "")
    foreach(_other IN LISTS SEE_ALSO)
        _orvex_roff("${_other}" _rother)
        list(APPEND _refs ".BR ${_rother} (1)")
    endforeach()
    list(JOIN _refs ",\n" _refs)
    string(APPEND _page ".SH SEE ALSO\n${_refs}\n")
endif()

file(WRITE "${OUT}" "${_page}")
execute_process(COMMAND gzip -9 -n -c "${OUT}" OUTPUT_FILE "${OUT}.gz" RESULT_VARIABLE _rc)
if(NOT _rc STREQUAL "0")
    message(FATAL_ERROR "gzip ${OUT} failed")
endif()
