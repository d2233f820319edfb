# Transfer engine: the protocol in virtual time over the in-process
# simulated line, and the command-line tool against the simulator binary on
# a pseudo-terminal in real time.
orvex_add_test(engine_tests SOURCES
    engine/ReadTest.cpp
    engine/WriteTest.cpp
    engine/ReceiveHandlerTest.cpp
    engine/WatchdogTest.cpp
    engine/CommandTest.cpp
    engine/PresenceTest.cpp
    engine/VerifiedWriteTest.cpp
    engine/SettledTest.cpp
    DEPS orvex_formmodel orvex_simradio orvex_link LABELS engine TIMEOUT 60)

# Child processes on a pseudo-terminal: POSIX only.
if(NOT WIN32)
    orvex_add_test(engine_cli_tests SOURCES
        engine/CliAgainstSimTest.cpp
        DEPS orvex_formmodel orvex_simradio orvex_link LABELS engine TIMEOUT 120)
    add_dependencies(engine_cli_tests orvex-cli orvex-radio-sim)

    # Batch programming: radios swapped on one cable, in real time.
    orvex_add_test(clone_cli_tests SOURCES
        engine/CloneCliTest.cpp
        DEPS orvex_formmodel orvex_simradio orvex_link LABELS engine TIMEOUT 300)
    add_dependencies(clone_cli_tests orvex-cli orvex-radio-sim)
endif()

# orvex-cli diff of files, and of a file against the simulator.
if(NOT WIN32)
    orvex_add_test(diff_cli_tests SOURCES
        engine/DiffCliTest.cpp
        DEPS orvex_formmodel orvex_simradio orvex_link LABELS engine TIMEOUT 120)
    add_dependencies(diff_cli_tests orvex-cli orvex-radio-sim)
endif()
