# Tool chain: assembler, disassembler, debug information and the console
# runner (unit tests); vskasm, vskdeasm, vskrun and vsk on real files, and the
# example scripts (end-to-end tests through e2e/run_case.sh).
vesk_unit_test(test_asm SOURCES unit/test_asm.cpp unit/test_debug.cpp LIBS veskdbg)

set(TC_RUN ${CMAKE_CURRENT_SOURCE_DIR}/e2e/run_case.sh)
set(TC_CASES ${CMAKE_CURRENT_SOURCE_DIR}/e2e/toolchain)
set(TC_EXAMPLES ${CMAKE_SOURCE_DIR}/examples)
set(TC_EXPECT ${CMAKE_CURRENT_SOURCE_DIR}/e2e/examples)

# toolchain_case(NAME EXPECTED run_case-arguments... -- command...): one
# end-to-end case; the programs' paths show as their bare names.
function(toolchain_case name expected)
  set(subs)
  foreach(p vskasm vskdeasm vskrun vsk vskparse)
    list(APPEND subs -s $<TARGET_FILE:${p}>=${p})
  endforeach()
  # run_case.sh takes its options first, then EXPECTED right before "--".
  set(args ${ARGN})
  list(FIND args "--" sep)
  list(INSERT args ${sep} ${expected})
  add_test(NAME ${name} COMMAND ${TC_RUN} ${subs} ${args})
endfunction()

set(ASM $<TARGET_FILE:vskasm>)
set(DEASM $<TARGET_FILE:vskdeasm>)
set(RUN $<TARGET_FILE:vskrun>)

toolchain_case(e2e_vskasm_usage ${TC_CASES}/vskasm_usage -- ${ASM} a.vasm a.vo)
toolchain_case(e2e_vskasm_missing ${TC_CASES}/vskasm_missing
  -- ${ASM} nosuch.vasm out.vo out.vdb)
toolchain_case(e2e_vskasm_unknown_instruction ${TC_CASES}/vskasm_unknown
  -i ${TC_CASES}/bad.vasm -- ${ASM} bad.vasm bad.vo bad.vdb)
toolchain_case(e2e_vskasm_unknown_label ${TC_CASES}/vskasm_label
  -i ${TC_CASES}/label.vasm -- ${ASM} label.vasm label.vo label.vdb)
toolchain_case(e2e_vskasm_bytes ${TC_CASES}/vskasm_bytes -i ${TC_CASES}/small.vasm
  -- sh -c "\"$0\" small.vasm w.vo w.vdb && od -An -tx1 -v w.vo && od -An -tx1 -v w.vdb"
  ${ASM})

toolchain_case(e2e_vskdeasm_usage ${TC_CASES}/vskdeasm_usage -- ${DEASM})
toolchain_case(e2e_vskdeasm_missing ${TC_CASES}/vskdeasm_missing
  -- ${DEASM} nosuch.vo none.vdb out.lst)
toolchain_case(e2e_vskdeasm_listing ${TC_CASES}/vskdeasm_listing -i ${TC_CASES}/small.vasm
  -f w.lst=${TC_CASES}/small.lst
  -- sh -c "\"$0\" small.vasm w.vo w.vdb && \"$1\" w.vo w.vdb w.lst" ${ASM} ${DEASM})
toolchain_case(e2e_vskdeasm_missing_debug ${TC_CASES}/vskdeasm_nodebug
  -i ${TC_CASES}/small.vasm -f w.lst=${TC_CASES}/small_plain.lst
  -- sh -c "\"$0\" small.vasm w.vo w.vdb && \"$1\" w.vo none.vdb w.lst" ${ASM} ${DEASM})
toolchain_case(e2e_vskdeasm_truncated ${TC_CASES}/vskdeasm_truncated
  -i ${TC_CASES}/truncated.vo -f t.lst=${TC_CASES}/truncated.lst
  -- ${DEASM} truncated.vo none.vdb t.lst)

toolchain_case(e2e_vskrun_usage ${TC_CASES}/vskrun_usage -- ${RUN} only.vo)
toolchain_case(e2e_vskrun_bad_option ${TC_CASES}/vskrun_bad_option -- ${RUN} -v a.vo a.vdb)
toolchain_case(e2e_vskrun_missing ${TC_CASES}/vskrun_missing -- ${RUN} nosuch.vo none.vdb)
toolchain_case(e2e_vskrun_truncated ${TC_CASES}/vskrun_truncated
  -i ${TC_CASES}/truncated.vo
  -- ${RUN} truncated.vo none.vdb)
# Assembles $1.vasm with $0, then runs it with $2 and debug file $3.
set(ASM_RUN "\"$0\" $1.vasm $1.vo $1.vdb && exec \"$2\" $1.vo $3")
toolchain_case(e2e_vskrun_print ${TC_CASES}/vskrun_print -i ${TC_CASES}/print.vasm
  -- sh -c "${ASM_RUN}" ${ASM} print ${RUN} print.vdb)
toolchain_case(e2e_vskrun_error_at_source ${TC_CASES}/vskrun_error_source
  -i ${TC_CASES}/fail.vasm -- sh -c "${ASM_RUN}" ${ASM} fail ${RUN} fail.vdb)
toolchain_case(e2e_vskrun_error_at_offset ${TC_CASES}/vskrun_error_offset
  -i ${TC_CASES}/fail.vasm -- sh -c "${ASM_RUN}" ${ASM} fail ${RUN} none.vdb)
toolchain_case(e2e_vskrun_trace ${TC_CASES}/vskrun_trace -i ${TC_CASES}/trace.vasm
  -- sh -c "\"$0\" trace.vasm trace.vo trace.vdb && exec \"$1\" --trace trace.vo trace.vdb"
  ${ASM} ${RUN})

set(VSK $<TARGET_FILE:vsk>)
toolchain_case(e2e_vsk_usage ${TC_CASES}/vsk_usage -- ${VSK} run)
toolchain_case(e2e_vsk_bad_command ${TC_CASES}/vsk_bad_command -- ${VSK} frob a.vsk)
toolchain_case(e2e_vsk_bad_option ${TC_CASES}/vsk_bad_option -- ${VSK} run -x a.vsk)
toolchain_case(e2e_vsk_missing ${TC_CASES}/vsk_missing -- ${VSK} run nosuch.vsk)
toolchain_case(e2e_vsk_syntax_error ${TC_CASES}/vsk_syntax_error -i ${TC_CASES}/bad.vsk
  -- ${VSK} run bad.vsk)
# check prints warnings (status 1), nothing for a clean script (status 0),
# and the compiler's messages for one that does not compile (status 2).
toolchain_case(e2e_vsk_check_warnings ${TC_CASES}/vsk_check_warnings
  -i ${TC_CASES}/check_warnings.vsk -i ${TC_CASES}/check_lib.vsk
  -- ${VSK} check check_warnings.vsk)
toolchain_case(e2e_vsk_check_clean ${TC_CASES}/vsk_check_clean -i ${TC_EXAMPLES}/lambdas.vsk
  -- ${VSK} check lambdas.vsk)
toolchain_case(e2e_vsk_check_syntax_error ${TC_CASES}/vsk_check_syntax_error
  -i ${TC_CASES}/bad.vsk -- ${VSK} check bad.vsk)
toolchain_case(e2e_vsk_check_bad_option ${TC_CASES}/vsk_check_bad_option
  -- ${VSK} check -q a.vsk)
# build writes the three files next to the source; vskrun runs them.
toolchain_case(e2e_vsk_build ${TC_EXPECT}/hello -i ${TC_EXAMPLES}/hello.vsk
  -s hello.vo:=hello.vsk:
  -- sh -c "\"$0\" build hello.vsk && exec \"$1\" hello.vo hello.vdb" ${VSK} ${RUN})

# Every example runs through vsk and, separately, through the four tools.
set(TC_INCLUDE -e VESK_INCLUDE_PATH=${TC_EXAMPLES}/lib)
foreach(ex hello tables methods lambdas includes error)
  toolchain_case(e2e_example_${ex} ${TC_EXPECT}/${ex} -i ${TC_EXAMPLES}/${ex}.vsk
    ${TC_INCLUDE} -- ${VSK} run ${ex}.vsk)
  toolchain_case(e2e_roundtrip_${ex} ${TC_EXPECT}/${ex} -i ${TC_EXAMPLES}/${ex}.vsk
    ${TC_INCLUDE} -s ${ex}.vo:=${ex}.vsk:
    -- ${TC_CASES}/roundtrip.sh $<TARGET_FILE_DIR:vskrun> ${ex}.vsk)
endforeach()
