# Tests in the real ARGoS, where it is installed: experiments run by argos3
# with this build's plug-in (argos/run_argos.sh), their output compared with
# expected files (e2e/run_case.sh), and the same experiments run by vesksim
# to show that both simulators agree on what does not depend on physics.
if(NOT VESK_ARGOS_STANDIN)
  set(ARGOS_CASES ${CMAKE_CURRENT_SOURCE_DIR}/argos)
  set(ARGOS_CASE_RUN ${CMAKE_CURRENT_SOURCE_DIR}/e2e/run_case.sh)
  set(ARGOS_PLUGIN_DIR $<TARGET_FILE_DIR:argos3plugin_simulator_vesk>)

  # Sets ${out_inputs} to run_case.sh's -i options for the FILES (paths under
  # tests/) and ${out_names} to their names.
  macro(argos_inputs)
    set(inputs)
    set(names)
    foreach(file ${ARGN})
      list(APPEND inputs -i ${CMAKE_CURRENT_SOURCE_DIR}/${file})
      get_filename_component(name ${file} NAME)
      list(APPEND names ${name})
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
endif()
