# Compiler front end: lexer and compiler (unit tests) and the vskparse
# program (end-to-end tests through e2e/run_case.sh).
vesk_unit_test(test_lexer SOURCES unit/test_lexer.cpp LIBS veskcompiler)
vesk_unit_test(test_parser SOURCES unit/test_parser.cpp LIBS veskcompiler)

set(VESK_E2E_RUN ${CMAKE_CURRENT_SOURCE_DIR}/e2e/run_case.sh)
set(VSKPARSE_CASES ${CMAKE_CURRENT_SOURCE_DIR}/e2e/vskparse)

set(VSKPARSE $<TARGET_FILE:vskparse>)
add_test(NAME e2e_vskparse_usage
  COMMAND ${VESK_E2E_RUN} -s ${VSKPARSE}=vskparse ${VSKPARSE_CASES}/usage
          -- ${VSKPARSE} only-one-argument)
add_test(NAME e2e_vskparse_compile
  COMMAND ${VESK_E2E_RUN} -i ${VSKPARSE_CASES}/compile.vsk -i ${VSKPARSE_CASES}/compile.vst
          -f out.vasm=${VSKPARSE_CASES}/compile.vasm ${VSKPARSE_CASES}/compile
          -- ${VSKPARSE} compile.vsk out.vasm compile.vst)
add_test(NAME e2e_vskparse_syntax_error
  COMMAND ${VESK_E2E_RUN} -i ${VSKPARSE_CASES}/syntax_error.vsk -f out.vasm=/dev/null
          ${VSKPARSE_CASES}/syntax_error -- ${VSKPARSE} syntax_error.vsk out.vasm)
add_test(NAME e2e_vskparse_missing_source
  COMMAND ${VESK_E2E_RUN} ${VSKPARSE_CASES}/missing -- ${VSKPARSE} nosuch.vsk out.vasm)

# A program through the whole tool chain, when the other programs exist.
add_test(NAME e2e_vskparse_run
  COMMAND ${VESK_E2E_RUN} -i ${VSKPARSE_CASES}/run.vsk ${VSKPARSE_CASES}/run
          -- sh -c "$0 run.vsk run.vasm && $1 run.vasm run.vo run.vdb && $2 run.vo run.vdb"
             $<TARGET_FILE:vskparse> $<TARGET_FILE:vskasm> $<TARGET_FILE:vskrun>)

# The static checker (vsk check): its warnings on small scripts, and its list
# of built-in globals against those the runner and every robot kind create.
vesk_unit_test(test_check SOURCES unit/test_check.cpp LIBS veskcompiler)
vesk_unit_test(test_check_builtins SOURCES unit/test_check_builtins.cpp
               LIBS vesktestsupport_world)
