# Run after each link of the test program: lists its suites and writes one ctest entry per suite into OUT.
# A suite's set-up runs once and its tests share one process, which saves the start-up of hundreds of processes.
execute_process(COMMAND ${PROGRAM} --gtest_list_tests OUTPUT_VARIABLE listing RESULT_VARIABLE failed
  TIMEOUT 60)
if(failed)
  message(FATAL_ERROR "${PROGRAM} --gtest_list_tests failed: ${failed}")
endif()
string(REPLACE "\n" ";" lines "${listing}")
set(script "")
foreach(line IN LISTS lines)
  # Suite lines stand at the start and end with a dot; instantiated suites carry a prefix ("Names/Suite.").
  if(line MATCHES "^([A-Za-z0-9_/]+)\\.$")
    set(suite ${CMAKE_MATCH_1})
    string(APPEND script "add_test([=[${suite}]=] [=[${PROGRAM}]=] [=[--gtest_filter=${suite}.*]=])\n"
      "set_tests_properties([=[${suite}]=] PROPERTIES WORKING_DIRECTORY [=[${WORKING_DIRECTORY}]=])\n")
  endif()
endforeach()
file(WRITE ${OUT} "${script}")
