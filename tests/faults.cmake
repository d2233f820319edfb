# Kills and restarts the simulator binary on pseudo-terminals: POSIX only.
if(NOT WIN32)
    orvex_add_test(fault_matrix_tests SOURCES faults/FaultMatrixTest.cpp
        DEPS orvex_formmodel orvex_link LABELS faults TIMEOUT 120)
    add_dependencies(fault_matrix_tests orvex-radio-sim)
endif()
