# Automatic backups of the radio's reads: the folder on its own, the form's
# listener in virtual time against the simulated radio, and the command line
# against the simulator binary.
orvex_add_test(backup_tests SOURCES
    backups/BackupStoreTest.cpp
    DEPS orvex_files LABELS core)

# The batch report is the command line's own file, tested without the tool.
orvex_add_test(clone_report_tests SOURCES
    backups/CloneReportTest.cpp
    ${PROJECT_SOURCE_DIR}/tools/cli/CloneReport.cpp
    DEPS orvex_files LABELS core)

orvex_add_test(backup_engine_tests SOURCES
    backups/ReadBackupsTest.cpp
    DEPS orvex_formmodel orvex_simradio orvex_link LABELS engine TIMEOUT 60)

if(NOT WIN32)
    orvex_add_test(backup_cli_tests SOURCES
        backups/CliBackupsTest.cpp
        DEPS orvex_formmodel orvex_simradio orvex_link LABELS engine TIMEOUT 120)
    add_dependencies(backup_cli_tests orvex-cli orvex-radio-sim)
endif()
