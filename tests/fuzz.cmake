# Fuzz targets: built only with clang and ORVEX_FUZZ=ON (scripts/check.sh
# does that in its own build folder). This is the only list of them: the
# scripts build orvex_tests_fuzz and run the label.
if(ORVEX_FUZZ)
    set(ORVEX_FUZZ_SECONDS 30 CACHE STRING "How long the test command runs each fuzz target")
    orvex_add_test(fuzz_kvx_open FUZZ SECONDS ${ORVEX_FUZZ_SECONDS} CORPUS kvx_open
        SOURCES fuzz/KvxOpenFuzz.cpp DEPS orvex_formmodel LABELS fuzz)
    orvex_add_test(fuzz_port_file FUZZ SECONDS ${ORVEX_FUZZ_SECONDS} CORPUS port_file
        SOURCES fuzz/PortFileFuzz.cpp DEPS orvex_link LABELS fuzz)
    orvex_add_test(fuzz_engine FUZZ SECONDS ${ORVEX_FUZZ_SECONDS} CORPUS engine
        SOURCES fuzz/EngineFuzz.cpp DEPS orvex_formmodel orvex_link LABELS fuzz)
    orvex_add_test(fuzz_paste FUZZ SECONDS ${ORVEX_FUZZ_SECONDS} CORPUS paste
        SOURCES fuzz/PasteFuzz.cpp DEPS orvex_gridcore LABELS fuzz)
    orvex_add_test(fuzz_recovery_file FUZZ SECONDS ${ORVEX_FUZZ_SECONDS} CORPUS recovery_file
        SOURCES fuzz/RecoveryFileFuzz.cpp DEPS orvex_formmodel LABELS fuzz)
    orvex_add_test(fuzz_exchange FUZZ SECONDS ${ORVEX_FUZZ_SECONDS} CORPUS exchange
        SOURCES fuzz/ExchangeFuzz.cpp ${PROJECT_SOURCE_DIR}/tools/cli/FormJson.cpp
            ${PROJECT_SOURCE_DIR}/tools/cli/CliJson.cpp
        DEPS orvex_formmodel LABELS fuzz)
endif()
