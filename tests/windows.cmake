# Windows only: the Win32 serial port and the command-line tool under Wine.
if(NOT WIN32)
    return()
endif()
