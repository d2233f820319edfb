# Port discovery: the port settings file, the COM number map, Auto Search
# and opening the remembered port in virtual time against the simulated
# line, and orvex-cli ports/search against the simulator binary.
orvex_add_test(ports_tests SOURCES
    ports/PortSettingsFileTest.cpp
    ports/PortMapTest.cpp
    ports/PortSearchTest.cpp
    ports/OpenRadioPortTest.cpp
    DEPS orvex_formmodel orvex_simradio orvex_link LABELS ports TIMEOUT 60)

# Child processes on pseudo-terminals, and what /dev, sysfs and /proc tell
# about a device: POSIX only.
if(NOT WIN32)
    orvex_add_test(device_info_tests SOURCES
        ports/DeviceInfoTest.cpp
        ports/UdevRulesTest.cpp
        DEPS orvex_link LABELS ports TIMEOUT 60)
    orvex_add_test(ports_cli_tests SOURCES
        ports/PortsCliTest.cpp
        DEPS orvex_formmodel orvex_simradio orvex_link LABELS ports TIMEOUT 90)
    add_dependencies(ports_cli_tests orvex-cli orvex-radio-sim)
endif()

# The connection check: each finding from a made-up system tree, and the line
# test and orvex-cli doctor against the simulator on a pseudo-terminal.
if(NOT WIN32)
    orvex_add_test(connection_check_tests SOURCES
        ports/ConnectionCheckTest.cpp
        DEPS orvex_link LABELS ports TIMEOUT 60)
    orvex_add_test(doctor_tests SOURCES
        ports/DoctorTest.cpp
        DEPS orvex_link LABELS ports TIMEOUT 90)
    add_dependencies(doctor_tests orvex-cli orvex-radio-sim)
endif()

# Windows ports from made-up device trees: USB ids and names, the news of
# ports coming and going, the connection check's findings. Plain code, run
# on every platform.
orvex_add_test(windows_ports_tests SOURCES
    ports/WindowsPortsTest.cpp
    DEPS orvex_link LABELS ports)

# The same in the window: a cable named as Device Manager names it, and the
# port the port settings file's first place refuses kept in its second.
if(ORVEX_HAVE_QT)
    orvex_add_test(frame_windows_ports_tests QTTEST SOURCES
        app/WindowsPortNewsTest.cpp
        app/support/FrameHarness.h
        DEPS orvex_app orvex_simradio LABELS gui TIMEOUT 90)
endif()
