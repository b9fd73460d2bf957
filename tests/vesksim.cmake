# vesksim, the headless simulator: its world model with a probe controller
# (unit tests), and the program on real experiment files (end-to-end).
vesk_unit_test(test_vesksim
  SOURCES unit/test_vesksim_world.cpp unit/test_vesksim_experiment.cpp
  LIBS vesktestsupport_world)
# The robots' steps on several threads (label "threads": also run under
# ThreadSanitizer by scripts/test.sh).
vesk_unit_test(test_vesksim_threads
  SOURCES unit/test_vesksim_threads.cpp
  LIBS vesktestsupport_world
  LABELS threads)

# End-to-end: vsk builds the scripts, vesksim runs the experiments on real
# files; outputs are compared exactly (run_case.sh).
set(VS_RUN ${CMAKE_CURRENT_SOURCE_DIR}/e2e/run_case.sh)
set(VS_CASES ${CMAKE_CURRENT_SOURCE_DIR}/e2e/vesksim)
set(VS_SWARM ${CMAKE_SOURCE_DIR}/examples/swarm)
set(VSK $<TARGET_FILE:vsk>)
set(VESKSIM $<TARGET_FILE:vesksim>)
# Builds $2.vsk with $0, then runs vesksim ($1) on $2.argos with the rest.
set(VS_BUILD_RUN "\"$0\" build $2.vsk && v=$1 n=$2 && shift 2 && exec \"$v\" $n.argos \"$@\"")

# vesksim_case(NAME EXPECTED run_case-options... -- command...)
function(vesksim_case name expected)
  set(args ${ARGN})
  list(FIND args "--" sep)
  list(INSERT args ${sep} ${expected})
  add_test(NAME ${name} COMMAND ${VS_RUN} -s ${VESKSIM}=vesksim ${args})
endfunction()

vesksim_case(e2e_vesksim_usage ${VS_CASES}/usage -- ${VESKSIM})
vesksim_case(e2e_vesksim_bad_steps ${VS_CASES}/bad_steps
  -- ${VESKSIM} x.argos --steps 12x)
vesksim_case(e2e_vesksim_bad_element ${VS_CASES}/bad_element
  -i ${VS_CASES}/bad_element.argos -- ${VESKSIM} bad_element.argos)
vesksim_case(e2e_vesksim_missing_script ${VS_CASES}/missing_script
  -i ${VS_CASES}/missing_script.argos -- ${VESKSIM} missing_script.argos)
# Who hears whom, with uneven radio ranges; poses and picture of the run.
vesksim_case(e2e_vesksim_broadcast ${VS_CASES}/broadcast
  -i ${VS_CASES}/broadcast.vsk -i ${VS_CASES}/broadcast.argos
  -f poses.csv=${VS_CASES}/broadcast.csv -f picture.svg=${VS_CASES}/broadcast.svg
  -- sh -c "${VS_BUILD_RUN}" ${VSK} ${VESKSIM} broadcast
     --quiet --steps 3 --csv poses.csv --svg picture.svg)
# LED colours and debug texts, quoted where CSV needs it, in the CSV and the
# picture.
vesksim_case(e2e_vesksim_leds ${VS_CASES}/leds
  -i ${VS_CASES}/leds.vsk -i ${VS_CASES}/leds.argos
  -f leds.csv=${VS_CASES}/leds.csv -f leds.svg=${VS_CASES}/leds.svg
  -- sh -c "${VS_BUILD_RUN}" ${VSK} ${VESKSIM} leds --quiet --csv leds.csv --svg leds.svg)
# An extended foot-bot's battery drains while it drives and fills while it
# charges.
vesksim_case(e2e_vesksim_battery ${VS_CASES}/battery
  -i ${VS_CASES}/battery.vsk -i ${VS_CASES}/battery.argos
  -- sh -c "${VS_BUILD_RUN}" ${VSK} ${VESKSIM} battery --quiet)
# Stigmergy and swarm membership along a line: reads never erase, a key
# written 70,000 times keeps its last write, a robot leaving its only
# swarm stops being kin at the next step.
vesksim_case(e2e_vesksim_replication ${VS_CASES}/replication
  -i ${VS_CASES}/replication.vsk -i ${VS_CASES}/replication.argos
  -- sh -c "${VS_BUILD_RUN}" ${VSK} ${VESKSIM} replication --quiet)
# The same experiment file gives the same run; robots draw different
# numbers; --seed replaces the file's seed.
vesksim_case(e2e_vesksim_reproducible ${VS_CASES}/reproducible
  -i ${VS_CASES}/random_walk.vsk -i ${VS_CASES}/random_walk.argos
  -- sh ${VS_CASES}/reproducible.sh ${VSK} ${VESKSIM})
# A script error is said once per robot, with its position; the program
# fails. A missing step function is named; --all-errors shows every report.
vesksim_case(e2e_vesksim_script_error ${VS_CASES}/script_error
  -i ${VS_CASES}/script_error.vsk -i ${VS_CASES}/script_error.argos
  -- sh -c "${VS_BUILD_RUN}" ${VSK} ${VESKSIM} script_error --quiet)
vesksim_case(e2e_vesksim_missing_step ${VS_CASES}/missing_step
  -i ${VS_CASES}/missing_step.vsk -i ${VS_CASES}/missing_step.argos
  -- sh -c "${VS_BUILD_RUN}" ${VSK} ${VESKSIM} missing_step --quiet --steps 2)
vesksim_case(e2e_vesksim_all_errors ${VS_CASES}/all_errors
  -i ${VS_CASES}/script_error.vsk -i ${VS_CASES}/script_error.argos
  -- sh -c "${VS_BUILD_RUN}" ${VSK} ${VESKSIM} script_error --quiet --steps 1
     --all-errors)
# The swarm examples reach what they are for.
vesksim_case(e2e_vesksim_consensus ${VS_CASES}/consensus
  -i ${VS_SWARM}/consensus.vsk -i ${VS_SWARM}/consensus.argos
  -- sh -c "${VS_BUILD_RUN}" ${VSK} ${VESKSIM} consensus --quiet)
foreach(ex aggregate disperse)
  vesksim_case(e2e_vesksim_${ex} ${VS_CASES}/${ex}
    -i ${VS_SWARM}/${ex}.vsk -i ${VS_SWARM}/${ex}.argos
    -- ${VS_CASES}/outcome.sh ${ex} ${VSK} ${VESKSIM})
endforeach()

# The debugger on one robot of a running swarm: a breakpoint in the function
# that a swarm's exec runs, finish, a watch, and quit, which ends the
# experiment. A robot that does not exist and a malformed target are refused.
set(VS_DEBUG_RUN
  "\"$0\" build $2.vsk && v=$1 n=$2 c=$3 && shift 3 && exec \"$v\" $n.argos \"$@\" <$c 2>&1")
vesksim_case(e2e_vesksim_debug ${VS_CASES}/debug_consensus
  -i ${VS_SWARM}/consensus.vsk -i ${VS_SWARM}/consensus.argos
  -i ${VS_CASES}/debug_consensus.cmd
  -- sh -c "${VS_DEBUG_RUN}" ${VSK} ${VESKSIM} consensus debug_consensus.cmd
     --debug fb3@5 --quiet)
# The same session with the other robots on eight threads.
vesksim_case(e2e_vesksim_debug_threads ${VS_CASES}/debug_consensus
  -i ${VS_SWARM}/consensus.vsk -i ${VS_SWARM}/consensus.argos
  -i ${VS_CASES}/debug_consensus.cmd
  -- sh -c "${VS_DEBUG_RUN}" ${VSK} ${VESKSIM} consensus debug_consensus.cmd
     --debug fb3@5 --quiet --threads 8)
set_tests_properties(e2e_vesksim_debug_threads PROPERTIES LABELS threads)
vesksim_case(e2e_vesksim_debug_no_robot ${VS_CASES}/debug_no_robot
  -i ${VS_SWARM}/consensus.vsk -i ${VS_SWARM}/consensus.argos
  -- sh -c "${VS_BUILD_RUN}" ${VSK} ${VESKSIM} consensus --debug fb99@2 --quiet)
vesksim_case(e2e_vesksim_debug_bad_target ${VS_CASES}/debug_bad_target
  -- ${VESKSIM} x.argos --debug fb3@0)

# The same run whatever the number of threads: CSV, SVG, output and status
# with 1, 2 and 8 threads (same_threads.sh), on the swarm examples and on
# forty-eight robots with messages, a swarm, a stigmergy and a script error
# in one robot (said once, or every report with --all-errors, as with one
# thread).
set(VS_SAME_THREADS ${VS_CASES}/same_threads.sh)
# The first 100 steps of aggregate and disperse (they write no output; the
# CSV and SVG compare), consensus to the end (its log comes at step 300).
set(steps_aggregate --steps 100)
set(steps_disperse --steps 100)
set(steps_consensus)
foreach(ex aggregate disperse consensus)
  vesksim_case(e2e_vesksim_threads_${ex} ${VS_CASES}/threads_${ex}
    -i ${VS_SWARM}/${ex}.vsk -i ${VS_SWARM}/${ex}.argos
    -- sh ${VS_SAME_THREADS} ${VSK} ${VESKSIM} ${ex} ${steps_${ex}})
  set_tests_properties(e2e_vesksim_threads_${ex} PROPERTIES LABELS threads)
endforeach()
vesksim_case(e2e_vesksim_threads_parallel ${VS_CASES}/parallel
  -i ${VS_CASES}/parallel.vsk -i ${VS_CASES}/parallel.argos
  -- sh ${VS_SAME_THREADS} ${VSK} ${VESKSIM} parallel)
vesksim_case(e2e_vesksim_threads_all_errors ${VS_CASES}/parallel_all_errors
  -i ${VS_CASES}/parallel.vsk -i ${VS_CASES}/parallel.argos
  -- sh ${VS_SAME_THREADS} ${VSK} ${VESKSIM} parallel --steps 9 --all-errors)
set_tests_properties(e2e_vesksim_threads_parallel e2e_vesksim_threads_all_errors
  PROPERTIES LABELS threads)
