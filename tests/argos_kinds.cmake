# The robot kinds side by side: a foot-bot, an extended foot-bot with the
# extension's proximity ring and battery, a base station and a spiri in one
# experiment (argos/kinds*), run by argos3 where it is installed and
# compared with vesksim, the extension's ring against ARGoS's foot-bot ring,
# and bad extension devices stopping a run with a clear error. vesksim's
# part and the battery's charge model, shared by the ARGoS device and
# vesksim's, are tested in both configurations.
set(KINDS_SCRIPTS argos/kinds_common.vsk argos/kinds_footbot.vsk argos/kinds_efootbot.vsk
                  argos/kinds_base.vsk argos/kinds_spiri.vsk)

vesk_unit_test(test_efootbot_battery
  SOURCES argos/efootbot_battery_test.cpp
  LIBS vesktestsupport_world)

# vesksim runs the ARGoS experiments as they are and logs what argos3 does.
set(KINDS_VESKSIM_RUN
    "v=$1 && shift && for s in *.vsk; do \"$0\" build \"$s\" >/dev/null || exit 2; done && exec \"$v\" \"$@\" --quiet")
set(kinds_inputs)
foreach(file argos/kinds.argos ${KINDS_SCRIPTS})
  list(APPEND kinds_inputs -i ${CMAKE_CURRENT_SOURCE_DIR}/${file})
endforeach()
add_test(NAME vesksim_kinds
  COMMAND ${CMAKE_CURRENT_SOURCE_DIR}/e2e/run_case.sh ${kinds_inputs}
          ${CMAKE_CURRENT_SOURCE_DIR}/argos/kinds
          -- sh -c "${KINDS_VESKSIM_RUN}" $<TARGET_FILE:vsk> $<TARGET_FILE:vesksim>
             kinds.argos)
add_test(NAME vesksim_kinds_bad_battery
  COMMAND ${CMAKE_CURRENT_SOURCE_DIR}/e2e/run_case.sh
          -i ${CMAKE_CURRENT_SOURCE_DIR}/argos/kinds_bad_battery.argos
          ${CMAKE_CURRENT_SOURCE_DIR}/argos/kinds_bad_battery_vesksim
          -- $<TARGET_FILE:vesksim> kinds_bad_battery.argos --quiet)

if(NOT VESK_ARGOS_STANDIN)
  argos_case(kinds argos/kinds argos/kinds.argos ${KINDS_SCRIPTS})
  argos_same_as_vesksim(kinds argos/kinds.argos ${KINDS_SCRIPTS})
  # A foot-bot and an extended foot-bot in front of the same box read the
  # same values; ARGoS's own battery gives the extended foot-bot no soc.
  argos_case(kinds_proximity argos/kinds_proximity
    argos/kinds_proximity.argos argos/kinds_proximity.vsk)
  argos_case(kinds_bad_proximity argos/kinds_bad_proximity argos/kinds_bad_proximity.argos)
  argos_case(kinds_bad_battery argos/kinds_bad_battery argos/kinds_bad_battery.argos)
endif()
