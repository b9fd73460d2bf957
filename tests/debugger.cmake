# Console debugger vskdbg: its command interpreter (unit tests) and whole
# sessions driven by command scripts on standard input over small programs in
# e2e/debugger (end-to-end tests through e2e/run_case.sh).
set(DBG_CASES ${CMAKE_CURRENT_SOURCE_DIR}/e2e/debugger)

vesk_unit_test(test_debugger
  SOURCES unit/test_debugger.cpp unit/test_debugger_state.cpp
  LIBS veskcompiler veskdbg)

set(DBG $<TARGET_FILE:vskdbg>)
set(DBG_RUN ${CMAKE_CURRENT_SOURCE_DIR}/e2e/run_case.sh -s ${DBG}=vskdbg)

# debugger_session(NAME COMMANDS MERGE ARGS...): vskdbg ARGS reading
# e2e/debugger/COMMANDS.cmd, compared with e2e/debugger/NAME.*; with MERGE
# on, standard error joins standard output so that the expected transcript
# shows messages in the order they came. Every program and command file
# of the directory is available, and the example examples/debug/calls.vsk.
file(GLOB dbg_inputs CONFIGURE_DEPENDS ${DBG_CASES}/*.vsk ${DBG_CASES}/*.cmd)
# The script of the guide's example session is one of the examples.
list(APPEND dbg_inputs ${CMAKE_SOURCE_DIR}/examples/debug/calls.vsk)
list(TRANSFORM dbg_inputs PREPEND "-i;")
function(debugger_session name commands merge)
  set(redirect "")
  if(merge)
    set(redirect "2>&1")
  endif()
  add_test(NAME e2e_vskdbg_${name}
    COMMAND ${DBG_RUN} ${dbg_inputs} ${DBG_CASES}/${name}
    -- sh -c "exec \"$0\" \"$@\" <${commands}.cmd ${redirect}" ${DBG} ${ARGN})
endfunction()

debugger_session(breakpoints breakpoints ON calls.vsk)
debugger_session(stepping stepping ON calls.vsk)
debugger_session(error error OFF fail.vsk)
debugger_session(include include ON shapes.vsk)
debugger_session(callbacks callbacks ON callbacks.vsk)
debugger_session(syntax_error breakpoints OFF broken.vsk)

# The bytecode and debug files that vsk build writes, debugged as a pair,
# and without the debug file.
set(build_calls "\"$0\" build calls.vsk && exec \"$1\"")
add_test(NAME e2e_vskdbg_commands
  COMMAND ${DBG_RUN} -s $<TARGET_FILE:vsk>=vsk ${dbg_inputs} ${DBG_CASES}/commands
  -- sh -c "${build_calls} calls.vo calls.vdb <commands.cmd 2>&1"
  $<TARGET_FILE:vsk> ${DBG})
add_test(NAME e2e_vskdbg_nodebug
  COMMAND ${DBG_RUN} -s $<TARGET_FILE:vsk>=vsk ${dbg_inputs} ${DBG_CASES}/nodebug
  -- sh -c "${build_calls} calls.vo none.vdb <nodebug.cmd"
  $<TARGET_FILE:vsk> ${DBG})

add_test(NAME e2e_vskdbg_usage COMMAND ${DBG_RUN} ${DBG_CASES}/usage -- ${DBG})
add_test(NAME e2e_vskdbg_missing
  COMMAND ${DBG_RUN} ${DBG_CASES}/missing -- ${DBG} nosuch.vo nosuch.vdb)
