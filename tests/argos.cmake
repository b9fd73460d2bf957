# Tests in the real ARGoS, where it is installed: experiments run by argos3
# with this build's plug-in (argos/run_argos.sh), their output compared with
# expected files (e2e/run_case.sh), and the same experiments run by vesksim
# to show that both simulators agree on what does not depend on physics.
if(NOT VESK_ARGOS_STANDIN)
  set(ARGOS_CASES ${CMAKE_CURRENT_SOURCE_DIR}/argos)
  set(ARGOS_CASE_RUN ${CMAKE_CURRENT_SOURCE_DIR}/e2e/run_case.sh)
  # Loop functions that reset an experiment once, as the GUI's reset button
  # would; in a directory of their own, searched after the plug-in's.
  add_library(vesk_test_reset_loop_functions MODULE argos/reset/reset_loop_functions.cpp)
  target_link_libraries(vesk_test_reset_loop_functions PRIVATE vesk_argos)
  set_target_properties(vesk_test_reset_loop_functions PROPERTIES
    LIBRARY_OUTPUT_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR}/argos-plugins)
  set(ARGOS_PLUGIN_DIR
    $<TARGET_FILE_DIR:argos3plugin_simulator_vesk>:$<TARGET_FILE_DIR:vesk_test_reset_loop_functions>)

  # Sets ${inputs} to run_case.sh's -i options for the FILES (paths under
  # tests/) and ${names} to their names.
  macro(argos_inputs)
    set(inputs)
    set(names)
    foreach(file ${ARGN})
      list(APPEND inputs -i ${CMAKE_CURRENT_SOURCE_DIR}/${file})
      get_filename_component(file_name ${file} NAME)
      list(APPEND names ${file_name})
    endforeach()
  endmacro()

  # argos_case(NAME EXPECTED EXPERIMENT SCRIPT...): runs the experiment in
  # argos3 after building the scripts (paths under tests/); expects
  # tests/EXPECTED.out/.err/.status.
  function(argos_case name expected)
    argos_inputs(${ARGN})
    list(POP_FRONT names experiment)
    add_test(NAME argos_${name}
      COMMAND ${ARGOS_CASE_RUN} ${inputs} ${CMAKE_CURRENT_SOURCE_DIR}/${expected}
              -- ${ARGOS_CASES}/run_argos.sh $<TARGET_FILE:vsk> ${ARGOS_PLUGIN_DIR}
                 ${experiment} ${names})
  endfunction()

  # argos_same_as_vesksim(NAME EXPERIMENT SCRIPT...): the scripts' log lines,
  # sorted, are the same in argos3 and in vesksim.
  function(argos_same_as_vesksim name)
    argos_inputs(${ARGN})
    add_test(NAME argos_same_as_vesksim_${name}
      COMMAND ${ARGOS_CASE_RUN} ${inputs} ${ARGOS_CASES}/same
              -- ${ARGOS_CASES}/same_as_vesksim.sh $<TARGET_FILE:vsk> ${ARGOS_PLUGIN_DIR}
                 $<TARGET_FILE:vesksim> ${names})
  endfunction()

  # Who hears whom with uneven radio ranges: the vesksim case's experiment,
  # with vesksim's expected output.
  argos_case(broadcast e2e/vesksim/broadcast
    e2e/vesksim/broadcast.argos e2e/vesksim/broadcast.vsk)
  argos_same_as_vesksim(broadcast e2e/vesksim/broadcast.argos e2e/vesksim/broadcast.vsk)
  # Stigmergy, swarms and messages along a line of five robots.
  argos_case(replication e2e/vesksim/replication
    e2e/vesksim/replication.argos e2e/vesksim/replication.vsk)
  argos_same_as_vesksim(replication
    e2e/vesksim/replication.argos e2e/vesksim/replication.vsk)
  # Each robot's generator is seeded from the experiment's seed and the
  # robot's id, in argos3 as in vesksim: the robots draw the same numbers.
  argos_same_as_vesksim(random_walk
    e2e/vesksim/random_walk.argos e2e/vesksim/random_walk.vsk)
  # Twenty-five robots agreeing on a maximum, a colour vote.
  argos_same_as_vesksim(consensus
    ../examples/swarm/consensus.argos ../examples/swarm/consensus.vsk)
  # A script error: its position in the source and the VM's dump, once per
  # step; the other robot goes on.
  argos_case(error argos/error argos/error.argos argos/error.vsk)
  # Controllers on ARGoS's threads: with threads="4" every robot logs the
  # same lines and the failing robot reports the same error as with
  # threads="0" (forty-eight robots, messages, a swarm, a stigmergy).
  argos_inputs(e2e/vesksim/parallel.argos e2e/vesksim/parallel.vsk)
  add_test(NAME argos_threads_parallel
    COMMAND ${ARGOS_CASE_RUN} ${inputs} ${ARGOS_CASES}/threads_parallel
            -- ${ARGOS_CASES}/same_threads.sh $<TARGET_FILE:vsk> ${ARGOS_PLUGIN_DIR}
               ${names})
  set_tests_properties(argos_threads_parallel PROPERTIES LABELS threads)
  # A reset reloads every script into a fresh VM: top level and init again.
  argos_case(reset argos/reset/reset argos/reset/reset.argos argos/reset/reset.vsk)
endif()
