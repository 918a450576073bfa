# Helpers that every test folder uses to declare its tests with the project's labels:
#   unit       native GoogleTest suites, one CTest test per test case
#   windows    test programs built for Windows and run under Wine
# Link further libraries to the returned target with target_link_libraries.

function(pelzor_unit_test name)
    add_executable(${name} ${ARGN})
    target_link_libraries(${name} PRIVATE GTest::gtest_main GTest::gmock)
    gtest_discover_tests(${name} PROPERTIES LABELS unit DISCOVERY_TIMEOUT 60)
endfunction()

function(pelzor_windows_test name)
    add_executable(${name} ${ARGN})
    target_link_libraries(${name} PRIVATE GTest::gtest_main GTest::gmock)
    # The emulator (Wine, in this build tree's prefix) is applied by CTest.
    add_test(NAME ${name} COMMAND ${name})
    # Exit code 77: the program cannot run on this machine (see cmake/wine-run.sh.in).
    set_tests_properties(${name} PROPERTIES LABELS windows TIMEOUT 600 SKIP_RETURN_CODE 77)
endfunction()
