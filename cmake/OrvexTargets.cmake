# Build settings for our own targets. Flags go on targets, never globally,
# so third-party code (GoogleTest, Qt headers) is not held to them.

function(orvex_target_defaults target)
    target_compile_options(${target} PRIVATE -Wall -Wextra -Werror)
    if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU")
        # GCC 12 reports std::string concatenation at -O2 and above as an
        # overlapping copy (a known false positive of -Wrestrict).
        target_compile_options(${target} PRIVATE -Wno-restrict)
    endif()
    if(ORVEX_FUZZ)
        # Every library is instrumented for coverage; only fuzz targets get
        # libFuzzer's main.
        target_compile_options(${target} PRIVATE -fsanitize=fuzzer-no-link)
    endif()
    if(ORVEX_SANITIZE)
        string(REPLACE ";" "," _san "${ORVEX_SANITIZE}")
        target_compile_options(${target} PRIVATE -fsanitize=${_san} -fno-omit-frame-pointer -fno-sanitize-recover=all)
        target_link_options(${target} PUBLIC -fsanitize=${_san})
    endif()
endfunction()

# orvex_library(name SOURCES ... DEPS ...): a static library of ours whose
# headers are reached from the repository root ("settings/RadioSettings.h").
function(orvex_library name)
    cmake_parse_arguments(ARG "" "" "SOURCES;DEPS" ${ARGN})
    add_library(${name} STATIC ${ARG_SOURCES})
    target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR})
    target_link_libraries(${name} PUBLIC ${ARG_DEPS})
    orvex_target_defaults(${name})
endfunction()

function(orvex_executable name)
    cmake_parse_arguments(ARG "" "" "SOURCES;DEPS" ${ARGN})
    add_executable(${name} ${ARG_SOURCES})
    target_link_libraries(${name} PRIVATE ${ARG_DEPS})
    orvex_target_defaults(${name})
endfunction()

# orvex_add_test(name [QTTEST | FUZZ SECONDS s CORPUS dir | COMMAND cmd ...]
#                SOURCES ... DEPS ... [LABELS ...] [ENVIRONMENT ...]
#                [RESOURCE_LOCK r] [WRAPPER cmd ...] [RUNS suffix:VAR=value ...]):
# the one way to declare a test; it is built and registered with CTest
# together, so no test binary exists that CTest does not run. GoogleTest by
# default; QTTEST makes it a Qt Test program on the offscreen platform; FUZZ a
# libFuzzer target run for s seconds from the seeds in tests/fuzz/corpus/dir;
# COMMAND a script of ours that drives programs built elsewhere (DEPS then
# names the targets it needs built first), nothing compiled for it.
# WRAPPER runs the program through a command that prepares what it talks to
# (a cross build's emulator is then the wrapper's business). Each RUNS entry
# runs the same program once more as name_suffix, with VAR=value added to its
# environment; entries with the same suffix add to the same run.
# orvex_tests builds every test but the fuzz targets, and every label gets a
# target orvex_tests_<label> that builds its tests, so a stage of the test
# command builds only what it runs.
function(orvex_add_test name)
    cmake_parse_arguments(ARG "QTTEST;FUZZ" "TIMEOUT;SECONDS;CORPUS;RESOURCE_LOCK"
        "SOURCES;DEPS;LABELS;ENVIRONMENT;WRAPPER;RUNS;COMMAND" ${ARGN})
    if(ARG_COMMAND)
        set(_built)
        if(ARG_DEPS)
            add_custom_target(${name} DEPENDS ${ARG_DEPS})
            set(_built ${name})
        endif()
    else()
        add_executable(${name} ${ARG_SOURCES})
        target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR}/tests)
        # A Qt Test program is one file with its moc output included; joined
        # with others its classes would look like a header's.
        if(ARG_QTTEST)
            set_target_properties(${name} PROPERTIES UNITY_BUILD OFF)
        endif()
        set(_built ${name})
    endif()
    if(_built AND NOT ARG_FUZZ)
        if(NOT TARGET orvex_tests)
            add_custom_target(orvex_tests)
        endif()
        add_dependencies(orvex_tests ${_built})
    endif()
    foreach(_label IN LISTS ARG_LABELS)
        if(NOT TARGET orvex_tests_${_label})
            add_custom_target(orvex_tests_${_label})
        endif()
        if(_built)
            add_dependencies(orvex_tests_${_label} ${_built})
        endif()
    endforeach()
    if(ARG_FUZZ)
        target_link_libraries(${name} PRIVATE ${ARG_DEPS})
        target_link_options(${name} PRIVATE -fsanitize=fuzzer)
        orvex_target_defaults(${name})
        set(_fuzz ${PROJECT_SOURCE_DIR}/tests/fuzz)
        add_test(NAME ${name} COMMAND ${_fuzz}/run-fuzzer.sh $<TARGET_FILE:${name}>
            ${_fuzz}/corpus/${ARG_CORPUS} ${CMAKE_CURRENT_BINARY_DIR}/fuzz-work/${ARG_CORPUS} ${ARG_SECONDS})
        math(EXPR _limit "${ARG_SECONDS} * 3 + 60")
        set_tests_properties(${name} PROPERTIES TIMEOUT ${_limit} LABELS "${ARG_LABELS}")
        return()
    endif()
    if(ARG_COMMAND)
        set(_program ${ARG_COMMAND})
    else()
        if(ARG_QTTEST)
            target_link_libraries(${name} PRIVATE ${ARG_DEPS} Qt6::Test Qt6::Widgets)
            set_target_properties(${name} PROPERTIES AUTOMOC ON)
            list(APPEND ARG_ENVIRONMENT "QT_QPA_PLATFORM=offscreen")
        else()
            target_link_libraries(${name} PRIVATE ${ARG_DEPS} GTest::gtest GTest::gtest_main)
        endif()
        orvex_target_defaults(${name})
        if(ARG_WRAPPER)
            set(_program ${ARG_WRAPPER} $<TARGET_FILE:${name}>)
        elseif(ARG_QTTEST AND WIN32 AND CMAKE_CROSSCOMPILING)
            set(_program ${PROJECT_SOURCE_DIR}/tests/wine/qtest-run.sh $<TARGET_FILE:${name}>)
        else()
            # By target name, so a cross build's emulator runs it.
            set(_program ${name})
        endif()
    endif()
    if(NOT ARG_TIMEOUT)
        set(ARG_TIMEOUT 300)
    endif()
    if(WIN32 AND CMAKE_CROSSCOMPILING)
        list(APPEND ARG_ENVIRONMENT "ORVEX_WINE_DLL_PATH=${ORVEX_WINDOWS_DLL_DIRS}")
    endif()
    # The runs by suffix ("" is the plain one), each with its extra variables.
    set(_suffixes "")
    set(_extra_ "")
    foreach(_run IN LISTS ARG_RUNS)
        # Under Wine the toolkit's variables do not reach the program: such
        # a run would only repeat the plain one.
        if(WIN32 AND CMAKE_CROSSCOMPILING AND _run MATCHES "^[^:]*:QT_")
            continue()
        endif()
        string(FIND "${_run}" ":" _at)
        string(SUBSTRING "${_run}" 0 ${_at} _suffix)
        math(EXPR _at "${_at} + 1")
        string(SUBSTRING "${_run}" ${_at} -1 _var)
        if(NOT _suffix IN_LIST _suffixes)
            list(APPEND _suffixes ${_suffix})
            set(_extra_${_suffix} "")
        endif()
        list(APPEND _extra_${_suffix} "${_var}")
    endforeach()
    foreach(_suffix IN ITEMS "" LISTS _suffixes)
        set(_test ${name})
        if(_suffix)
            set(_test ${name}_${_suffix})
        endif()
        add_test(NAME ${_test} COMMAND ${_program})
        # Backups, recovery files and settings of whatever a test starts stay
        # in the build folder, never in the user's own.
        set(_home "XDG_DATA_HOME=${PROJECT_BINARY_DIR}/test-home/${_test}/data;XDG_CONFIG_HOME=${PROJECT_BINARY_DIR}/test-home/${_test}/config")
        set_tests_properties(${_test} PROPERTIES TIMEOUT ${ARG_TIMEOUT}
            LABELS "${ARG_LABELS}"
            ENVIRONMENT "ORVEX_BIN_DIR=${PROJECT_BINARY_DIR}/tools;ORVEX_SOURCE_DIR=${PROJECT_SOURCE_DIR};ORVEX_SHOT_DIR=${PROJECT_BINARY_DIR}/screenshots;${_home};${ARG_ENVIRONMENT};${_extra_${_suffix}}")
        # A skipped case would pass unnoticed: it fails instead, so what the
        # suite claims is what ran.
        set_tests_properties(${_test} PROPERTIES FAIL_REGULAR_EXPRESSION "\\[  SKIPPED \\]|\nSKIP   : ")
        if(ARG_RESOURCE_LOCK)
            set_tests_properties(${_test} PROPERTIES RESOURCE_LOCK ${ARG_RESOURCE_LOCK})
        endif()
    endforeach()
endfunction()
