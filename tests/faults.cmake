orvex_add_test(fault_matrix_tests SOURCES faults/FaultMatrixTest.cpp
    DEPS orvex_formmodel orvex_link LABELS faults TIMEOUT 120)
add_dependencies(fault_matrix_tests orvex-radio-sim)
