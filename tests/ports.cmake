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
