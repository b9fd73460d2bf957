# Robustness: unit tests for the faults the fuzzers found, and the replay of
# every fuzz target's seed corpus and past findings (fuzz/corpus/TARGET,
# fuzz/regressions/TARGET) through the ordinary compiler's build, so the
# sanitizer build of the suite checks them as well.
vesk_unit_test(test_regressions SOURCES unit/test_regressions.cpp
  LIBS veskcompiler veskdbg)

set(FUZZ_DIR ${CMAKE_SOURCE_DIR}/fuzz)
foreach(t compile asm bcode debug inmsg string dbgcmd)
  add_executable(fuzz_replay_${t} ${FUZZ_DIR}/${t}.cpp ${FUZZ_DIR}/replay_main.cpp)
  target_link_libraries(fuzz_replay_${t} PRIVATE veskcompiler veskdbg)
  add_test(NAME fuzz_replay_${t}
    COMMAND fuzz_replay_${t} ${FUZZ_DIR}/corpus/${t} ${FUZZ_DIR}/regressions/${t})
  set_tests_properties(fuzz_replay_${t} PROPERTIES LABELS fuzz TIMEOUT 600)
endforeach()
