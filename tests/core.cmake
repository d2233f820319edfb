orvex_add_test(settings_tests SOURCES
    settings/FrequencyTest.cpp
    settings/CodeTablesTest.cpp
    settings/RadioSettingsTest.cpp
    settings/RadioImageTest.cpp
    settings/ChannelCsvTest.cpp
    settings/JsonReaderTest.cpp
    DEPS orvex_settings LABELS core)

orvex_add_test(files_tests SOURCES
    files/SettingsFileTest.cpp
    files/CrashSafeSaveTest.cpp
    DEPS orvex_files LABELS core)

orvex_add_test(model_tests SOURCES
    model/FormFileTest.cpp
    model/BandSectionTest.cpp
    model/RecentFilesTest.cpp
    DEPS orvex_formmodel LABELS core)

# Starts orvex-cli as a POSIX child process and reads its wait status.
if(NOT WIN32)
    orvex_add_test(cli_tests SOURCES
        cli/CliTest.cpp
        cli/ExchangeCliTest.cpp
        DEPS orvex_formmodel LABELS core)
    add_dependencies(cli_tests orvex-cli)
endif()

# Unsaved edits kept across a closed window: the file, and its keeper on a
# virtual-time form with a simulated radio for the transfers.
orvex_add_test(recovery_tests SOURCES
    model/RecoveryFileTest.cpp
    model/RecoveryKeeperTest.cpp
    model/RecoverySessionLockTest.cpp
    DEPS orvex_formmodel orvex_simradio orvex_link LABELS core)

# Two settings compared field by field and byte by byte.
orvex_add_test(settings_compare_tests SOURCES
    model/SettingsCompareTest.cpp
    DEPS orvex_formmodel LABELS core)

# Undo and redo of the user's changes, around files and transfers in
# virtual time.
orvex_add_test(undo_tests SOURCES
    model/UndoTest.cpp
    DEPS orvex_formmodel orvex_simradio orvex_link LABELS core)

# Export and import through the form: the command line's JSON object, tested
# without the tool, and the CSV step the window shares.
# The round trip of every corpus and random file is the same std-only code
# on every platform; under Wine its few thousand file calls take minutes.
set(_exchange_env)
if(WIN32)
    set(_exchange_env GTEST_FILTER=-FormJsonTest.ImportOfExportIsResaveForCorpusSamplesAndRandomFiles)
endif()
orvex_add_test(exchange_tests SOURCES
    cli/FormJsonTest.cpp
    ${PROJECT_SOURCE_DIR}/tools/cli/FormJson.cpp
    ${PROJECT_SOURCE_DIR}/tools/cli/CliJson.cpp
    DEPS orvex_formmodel LABELS core ENVIRONMENT ${_exchange_env})

# What users read when a file, an import or a port fails, at the seams
# where the problem leaves for the prompter or the command line. The port
# case opens POSIX device paths.
if(NOT WIN32)
    orvex_add_test(problem_seam_tests SOURCES
        seams/ProblemSeamsTest.cpp
        DEPS orvex_formmodel orvex_link LABELS core)
endif()
