# Runs one GoogleTest binary and fails unless it passed AND ran every test it
# holds: a binary that exits 0 early (say, a child process that went on as
# the test runner) would otherwise pass. Used by add_test:
#   cmake -DBINARY=path [-DEMULATOR=a|b|c] [-DSCRATCH=folder] -DREPORT=name.xml
#         [-DMARKER=name] -P run_gtest.cmake
# With MARKER the binary must also have written that file as its very last
# act (tests/support/exit_marker.cpp): a crash after the report, which Wine
# can end with status 0, fails the run too.
# SCRATCH becomes the temporary folder of the run, emptied first: whatever the
# tests leave behind, late writers included, stays inside it.
string(REPLACE "|" ";" emulator "${EMULATOR}")
if(SCRATCH)
  file(REMOVE_RECURSE "${SCRATCH}")
  file(MAKE_DIRECTORY "${SCRATCH}")
  set(ENV{TMPDIR} "${SCRATCH}")
endif()

execute_process(COMMAND ${emulator} ${BINARY} --gtest_list_tests
                OUTPUT_VARIABLE listing RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "${BINARY} --gtest_list_tests failed: ${status}")
endif()
# Suites start in column 0, tests are indented; DISABLED_ ones never run.
string(REPLACE "\r" "" listing "${listing}")
string(REPLACE "\n" ";" lines "${listing}")
set(expected 0)
set(suite_disabled FALSE)
foreach(line IN LISTS lines)
  if(line MATCHES "^[A-Za-z_]")
    string(REGEX MATCH "^DISABLED_" suite_disabled "${line}")
  elseif(line MATCHES "^  [A-Za-z_]" AND NOT suite_disabled AND NOT line MATCHES "^  DISABLED_")
    math(EXPR expected "${expected} + 1")
  endif()
endforeach()

file(REMOVE "${REPORT}")
if(MARKER)
  file(REMOVE "${MARKER}")
  set(ENV{QUILL_EXIT_MARKER} "${MARKER}")
endif()
execute_process(COMMAND ${emulator} ${BINARY} --gtest_brief=1 --gtest_output=xml:${REPORT}
                RESULT_VARIABLE status)
unset(ENV{QUILL_EXIT_MARKER})
if(NOT status EQUAL 0)
  message(FATAL_ERROR "${BINARY} failed: ${status}")
endif()
if(NOT EXISTS "${REPORT}")
  message(FATAL_ERROR "${BINARY} exited 0 without its report: it did not finish its run")
endif()
if(MARKER AND NOT EXISTS "${MARKER}")
  message(FATAL_ERROR "${BINARY} exited 0 but did not end normally: it crashed after its report")
endif()
file(READ "${REPORT}" xml)
string(REGEX MATCHALL "<testcase [^>]*status=\"run\"" ran "${xml}")
list(LENGTH ran ran)
if(NOT ran EQUAL expected)
  message(FATAL_ERROR "${BINARY} ran ${ran} of its ${expected} tests")
endif()
message(STATUS "${BINARY}: ${ran} of ${expected} tests ran")
