# The Win32 serial port, the Win32 file calls and the Windows command-line
# tool, run under Wine. The port tests and the end-to-end run need the
# native build's simulator (and its modem-line preload), named by
# ORVEX_HOST_BUILD.
set(_wine ${PROJECT_SOURCE_DIR}/tests/wine)

if(NOT WIN32)
    # Built natively, preloaded into Wine by the Windows build's tests. Not
    # in sanitizer builds: their runtime cannot be preloaded into Wine.
    if(NOT ORVEX_SANITIZE AND NOT ORVEX_FUZZ AND CMAKE_SYSTEM_NAME STREQUAL "Linux")
        add_library(orvex_pty_modem_lines MODULE wine/PtyModemLines.cpp)
        orvex_target_defaults(orvex_pty_modem_lines)
        target_link_libraries(orvex_pty_modem_lines PRIVATE ${CMAKE_DL_LIBS})
    endif()
    return()
endif()

# Wine makes no symbolic links (CreateSymbolicLinkW fails), so the one case
# that needs one is left out by name here, where it is seen, rather than
# reported as skipped.
orvex_add_test(win32_files_tests SOURCES
    win32/FileStoreWin32Test.cpp
    DEPS orvex_files orvex_link LABELS win32 RESOURCE_LOCK wine_c_drive
    ENVIRONMENT GTEST_FILTER=-FileStoreWin32.SavingThroughALinkReplacesTheFileItNames)

# The lock a running session holds on its recovery file, on Win32 share modes.
orvex_add_test(win32_session_lock_tests SOURCES
    model/RecoverySessionLockTest.cpp
    DEPS orvex_files LABELS win32 RESOURCE_LOCK wine_c_drive)

set(ORVEX_HOST_BUILD "" CACHE PATH "The native build whose simulator the Windows port tests talk to")
if(NOT ORVEX_HOST_BUILD)
    message(STATUS "ORVEX_HOST_BUILD not set: the Windows port tests and the end-to-end run are left out")
    return()
endif()

# The port tests run twice: once on Wine's own serial driver, which cannot
# wait for events on a pseudo-terminal (the watcher falls back to watching
# the input count), and once with the modem lines preloaded (the watcher
# waits on port events). Each run serves its radio on a COM port of its own.
set(_shim ${ORVEX_HOST_BUILD}/tests/liborvex_pty_modem_lines.so)
orvex_add_test(win32_port_tests SOURCES
    win32/RadioPortWin32Test.cpp
    DEPS orvex_link LABELS win32 TIMEOUT 120
    WRAPPER ${_wine}/with-sim.sh COM8 -- ${_wine}/wine-run.sh
    ENVIRONMENT ORVEX_HOST_BUILD=${ORVEX_HOST_BUILD} ORVEX_TEST_WATCH=polling
    RUNS events:ORVEX_TEST_WATCH=events events:ORVEX_WINE_PRELOAD=${_shim} events:ORVEX_WINE_COM=COM9)

# The window that hears ports come and go, and the connection check over
# the system's own calls, with the simulator's terminal as COM11.
orvex_add_test(win32_ports_system_tests SOURCES
    win32/WindowsPortsWin32Test.cpp
    DEPS orvex_link LABELS win32 TIMEOUT 120
    WRAPPER ${_wine}/with-sim.sh COM11 -- ${_wine}/wine-run.sh
    ENVIRONMENT ORVEX_HOST_BUILD=${ORVEX_HOST_BUILD})

orvex_add_test(win32_cli_end_to_end
    COMMAND ${_wine}/cli-end-to-end.sh $<TARGET_FILE:orvex-cli> ${ORVEX_HOST_BUILD}/tools/cli/orvex-cli
        ${PROJECT_SOURCE_DIR}/tests/fuzz/corpus/kvx_open
    DEPS orvex-cli LABELS win32 TIMEOUT 180 RESOURCE_LOCK wine_c_drive
    ENVIRONMENT ORVEX_HOST_BUILD=${ORVEX_HOST_BUILD})

# What a Windows user downloads: the zip and the installer made from this
# build, the installer run silently in a fresh prefix, the installed window
# reading the simulator on COM1 under Xvfb, the installed CLI, the uninstall.
if(ORVEX_HAVE_QT)
    orvex_add_test(win32_installer
        COMMAND ${_wine}/installer-test.sh ${PROJECT_BINARY_DIR} ${ORVEX_HOST_BUILD}
        DEPS orvex orvex-cli LABELS win32 TIMEOUT 300 RESOURCE_LOCK wine_c_drive)
endif()
