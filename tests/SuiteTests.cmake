# Read by ctest when it starts, once per unit-test program: registers one test
# per GoogleTest suite of the program, FOLDER.SUITE, which runs the suite's
# cases in one process. Set by the caller: program, folder, labels, test_home.
macro(suite_test name)
    add_test("${name}" "${program}" ${ARGN})
    set_tests_properties("${name}" PROPERTIES LABELS "${labels}" FIXTURES_REQUIRED test_home
        ENVIRONMENT "VEXLIN_TEST_HOME=${test_home}")
endmacro()

if(NOT EXISTS "${program}")
    # Build the unit_tests target first; the missing program shows as a failure.
    suite_test("${folder}.NOT_BUILT")
    return()
endif()
execute_process(COMMAND "${program}" --gtest_list_tests
    OUTPUT_VARIABLE listing ERROR_VARIABLE errors RESULT_VARIABLE result TIMEOUT 120)
if(NOT result EQUAL 0)
    # A program that cannot list its tests fails the same way when run.
    suite_test("${folder}.LIST_FAILED" --gtest_list_tests)
    return()
endif()
string(REPLACE "\n" ";" lines "${listing}")
foreach(line IN LISTS lines)
    # A suite's line starts in the first column and ends its name with a dot;
    # its cases follow, indented.
    if(NOT line MATCHES "^([^ #][^ ]*)\\.")
        continue()
    endif()
    set(suite "${CMAKE_MATCH_1}")
    if(suite MATCHES "(^|/)DISABLED_")
        continue()
    endif()
    suite_test("${folder}.${suite}" "--gtest_filter=${suite}.*")
endforeach()
