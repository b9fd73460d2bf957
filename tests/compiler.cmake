# Compiler front end: lexer and compiler (unit tests) and the vskparse
# program (end-to-end tests through e2e/run_case.sh).
vesk_unit_test(test_lexer SOURCES unit/test_lexer.cpp LIBS veskcompiler)
vesk_unit_test(test_parser SOURCES unit/test_parser.cpp LIBS veskcompiler)

set(VESK_E2E_RUN ${CMAKE_CURRENT_SOURCE_DIR}/e2e/run_case.sh)
set(VSKPARSE_CASES ${CMAKE_CURRENT_SOURCE_DIR}/e2e/vskparse)

if(TARGET vskparse)
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
endif()
