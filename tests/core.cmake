orvex_add_test(settings_tests SOURCES
    settings/FrequencyTest.cpp
    settings/CodeTablesTest.cpp
    settings/RadioSettingsTest.cpp
    settings/RadioImageTest.cpp
    DEPS orvex_settings LABELS core)

orvex_add_test(files_tests SOURCES
    files/SettingsFileTest.cpp
    files/CrashSafeSaveTest.cpp
    DEPS orvex_files LABELS core)

orvex_add_test(model_tests SOURCES
    model/FormFileTest.cpp
    model/BandSectionTest.cpp
    DEPS orvex_formmodel LABELS core)

# Starts orvex-cli as a POSIX child process and reads its wait status.
if(NOT WIN32)
    orvex_add_test(cli_tests SOURCES
        cli/CliTest.cpp
        DEPS orvex_formmodel LABELS core)
    add_dependencies(cli_tests orvex-cli)
endif()
