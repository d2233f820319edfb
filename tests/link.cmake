# Serial link: receive queue and port on pseudo-terminals (these also run
# under ThreadSanitizer with -L link), the simulated radio, and one run
# against the simulator binary.

# The port tests open pseudo-terminals, which Windows does not have.
set(_link_sources link/ByteQueueTest.cpp)
if(NOT WIN32)
    list(APPEND _link_sources link/RadioPortTest.cpp link/ConnectionCheckRunTest.cpp)
endif()
orvex_add_test(link_tests SOURCES
    ${_link_sources}
    DEPS orvex_link LABELS link TIMEOUT 120)

# The simulator talks over a pseudo-terminal and is not built on Windows;
# its radio is tested where it runs (Windows tests still use that radio
# in virtual time).
if(NOT WIN32)
    orvex_add_test(sim_radio_tests SOURCES
        link/SimRadioTest.cpp
        DEPS orvex_simradio LABELS sim)
    orvex_add_test(link_sim_tests SOURCES
        link/SimEndToEndTest.cpp
        DEPS orvex_link LABELS link sim TIMEOUT 60)
    add_dependencies(link_sim_tests orvex-radio-sim)
endif()
