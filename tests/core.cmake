orvex_add_test(settings_tests SOURCES
    settings/FrequencyTest.cpp
    settings/CodeTablesTest.cpp
    settings/RadioImageTest.cpp
    DEPS orvex_settings LABELS core)
