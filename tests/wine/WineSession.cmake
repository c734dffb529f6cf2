# Wine sessions for CTest, usable from both builds: include() this file, then
#
#   calquin_wine_session(<fixture> [NO_DISPLAY])
#       adds the tests <fixture>.start / <fixture>.stop as FIXTURES_SETUP / FIXTURES_CLEANUP;
#       the session's state (prefix, ports, logs) lives in <build>/wine/<fixture> and its prefix
#       is kept there from run to run. Sets CALQUIN_WINE_STATE_<fixture> in the caller's scope.
#   calquin_add_wine_test(NAME <test> SESSION <fixture> COMMAND <exe> [args...]
#                         [TIMEOUT <seconds>] [ENVIRONMENT <VAR=value>...])
#       runs a Windows program in the session (its exit code decides; -1 reads as 255; 77, which
#       session.sh gives every test after the one that found the session's server gone, skips).
#   calquin_wine_emulator(<fixture> <variable>)
#       sets <variable> to a runner list for the CROSSCOMPILING_EMULATOR target property.
#
# Every test of a session holds the session's RESOURCE_LOCK: they share one prefix, registry
# and display, so they run one at a time.
set(CALQUIN_WINE_SESSION_SCRIPT ${CMAKE_CURRENT_LIST_DIR}/session.sh)

# The serial-port guard is built by the native build; the Win32 build is told where that is.
# A session runs the Windows programs of one width under the Wine of that width: a Windows
# build's own, and in the native build that of the Windows build it tests.
if(WIN32)
    if(NOT CALQUIN_NATIVE_BUILD)
        message(WARNING "CALQUIN_NATIVE_BUILD is not set: the Wine tests will refuse to run")
    endif()
    set(CALQUIN_GUARD_DIR ${CALQUIN_NATIVE_BUILD}/preload)
    set(CALQUIN_WINE_BITS ${CALQUIN_WINDOWS_BITS})
else()
    set(CALQUIN_GUARD_DIR ${CMAKE_BINARY_DIR}/preload)
    if(CALQUIN_WIN32_BUILD)
        load_cache(${CALQUIN_WIN32_BUILD} READ_WITH_PREFIX TESTED_ CALQUIN_WINDOWS_BITS)
        if(NOT TESTED_CALQUIN_WINDOWS_BITS)
            message(FATAL_ERROR "${CALQUIN_WIN32_BUILD} is not a configured Windows build")
        endif()
        set(CALQUIN_WINE_BITS ${TESTED_CALQUIN_WINDOWS_BITS})
    endif()
endif()

function(calquin_wine_session fixture)
    cmake_parse_arguments(ARG "NO_DISPLAY" "" "" ${ARGN})
    set(state ${CMAKE_BINARY_DIR}/wine/${fixture})
    set(options)
    if(ARG_NO_DISPLAY)
        set(options --no-display)
    endif()
    add_test(NAME ${fixture}.start
             COMMAND ${CALQUIN_WINE_SESSION_SCRIPT} start ${state} --preload ${CALQUIN_GUARD_DIR}
                     --bits ${CALQUIN_WINE_BITS} ${options})
    set_tests_properties(${fixture}.start PROPERTIES FIXTURES_SETUP ${fixture} TIMEOUT 400
                         RESOURCE_LOCK ${fixture} LABELS wine)
    add_test(NAME ${fixture}.stop COMMAND ${CALQUIN_WINE_SESSION_SCRIPT} stop ${state})
    set_tests_properties(${fixture}.stop PROPERTIES FIXTURES_CLEANUP ${fixture} TIMEOUT 60
                         RESOURCE_LOCK ${fixture} LABELS wine)
    set(CALQUIN_WINE_STATE_${fixture} ${state} PARENT_SCOPE)
endfunction()

function(calquin_add_wine_test)
    cmake_parse_arguments(ARG "" "NAME;SESSION;TIMEOUT" "COMMAND;ENVIRONMENT" ${ARGN})
    if(NOT ARG_TIMEOUT)
        set(ARG_TIMEOUT 120)
    endif()
    set(state ${CMAKE_BINARY_DIR}/wine/${ARG_SESSION})
    list(POP_FRONT ARG_COMMAND program)
    if(TARGET ${program})
        set(program $<TARGET_FILE:${program}>)
    endif()
    add_test(NAME ${ARG_NAME}
             COMMAND ${CALQUIN_WINE_SESSION_SCRIPT} run ${state} --timeout ${ARG_TIMEOUT}
                     ${program} ${ARG_COMMAND})
    set_tests_properties(${ARG_NAME} PROPERTIES FIXTURES_REQUIRED ${ARG_SESSION}
                         RESOURCE_LOCK ${ARG_SESSION} TIMEOUT ${ARG_TIMEOUT} LABELS wine
                         SKIP_RETURN_CODE 77)
    if(ARG_ENVIRONMENT)
        set_tests_properties(${ARG_NAME} PROPERTIES ENVIRONMENT "${ARG_ENVIRONMENT}")
    endif()
endfunction()

function(calquin_wine_emulator fixture variable)
    set(${variable} ${CALQUIN_WINE_SESSION_SCRIPT} run ${CMAKE_BINARY_DIR}/wine/${fixture}
        PARENT_SCOPE)
endfunction()
