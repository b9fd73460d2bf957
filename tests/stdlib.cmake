# Standard libraries: math and random numbers, strings, files. Unit tests call
# the libraries through a VM; end-to-end tests run scripts with `vsk run` in a
# fresh temporary directory and compare the exact output.
vesk_unit_test(test_stdlib
  SOURCES unit/test_stdlib_math.cpp unit/test_stdlib_string.cpp unit/test_stdlib_io.cpp
  LIBS vesk)

set(STDLIB_CASES ${CMAKE_CURRENT_SOURCE_DIR}/data/stdlib)
foreach(case math rng string io error)
  add_test(NAME e2e_stdlib_${case}
    COMMAND ${CMAKE_CURRENT_SOURCE_DIR}/e2e/run_case.sh -i ${STDLIB_CASES}/${case}.vsk
            ${STDLIB_CASES}/${case} -- $<TARGET_FILE:vsk> run ${case}.vsk)
endforeach()
