# Serial link: receive queue and port on pseudo-terminals (these also run
# under ThreadSanitizer with -L link), the simulated radio, and one run
# against the simulator binary.
orvex_add_test(link_tests SOURCES
    link/ByteQueueTest.cpp
    link/RadioPortTest.cpp
    DEPS orvex_link LABELS link TIMEOUT 120)

orvex_add_test(sim_radio_tests SOURCES
    link/SimRadioTest.cpp
    DEPS orvex_simradio LABELS sim)

orvex_add_test(link_sim_tests SOURCES
    link/SimEndToEndTest.cpp
    DEPS orvex_link LABELS link sim TIMEOUT 60)
add_dependencies(link_sim_tests orvex-radio-sim)
