# Tests of the plug-in's GUI in the real ARGoS: argos3 runs with its Qt/OpenGL
# view on a virtual X screen (argos/gui/run_gui.sh, through xvfb-run) and
# loads test-only user functions, "vesk_qt_probe" (argos/gui/vesk_qt_probe.*),
# derived from the plug-in's CVeskQT. They report the labels drawn above the
# robots, the editor window's tabs, the state trees of a robot selected in
# the view and where the two windows lie; run_case.sh compares the report
# with the expected one.
if(NOT VESK_ARGOS_STANDIN AND ARGOS_QTOPENGL_FOUND)
  set(ARGOS_GUI_DIR ${CMAKE_CURRENT_SOURCE_DIR}/argos/gui)

  # The probe is a plug-in of its own, alone in its directory, which joins
  # ARGOS_PLUGIN_PATH (ARGoS loads every library there).
  add_library(argos3_vesk_qt_probe SHARED ${ARGOS_GUI_DIR}/vesk_qt_probe.cpp)
  set_target_properties(argos3_vesk_qt_probe PROPERTIES
    LIBRARY_OUTPUT_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR}/argos_gui_probe)
  target_link_libraries(argos3_vesk_qt_probe PRIVATE argos3plugin_simulator_vesk
    argos3plugin_simulator_qtopengl ${ARGOS_QTOPENGL_LIBRARIES} Qt5::Widgets)

  # argos_gui_case(NAME SCREEN [-w]): runs argos/gui/overlay.argos (three
  # foot-bots and a spiri) on a WIDTHxHEIGHT screen, with -w under a window
  # manager, and expects the report argos/gui/overlay.out.
  function(argos_gui_case name screen)
    set(inputs)
    foreach(file overlay.argos walker.vsk drone.vsk)
      list(APPEND inputs -i ${ARGOS_GUI_DIR}/${file})
    endforeach()
    add_test(NAME argos_gui_${name}
      COMMAND ${CMAKE_CURRENT_SOURCE_DIR}/e2e/run_case.sh ${inputs} ${ARGOS_GUI_DIR}/overlay
              -- ${ARGOS_GUI_DIR}/run_gui.sh ${ARGN} $<TARGET_FILE:vsk>
                 $<TARGET_FILE_DIR:argos3plugin_simulator_vesk>
                 $<TARGET_FILE_DIR:argos3_vesk_qt_probe> ${screen}
                 overlay.argos walker.vsk drone.vsk)
    # One virtual X server at a time (xvfb-run -a races for display numbers);
    # the timeout only guards against a GUI that never reaches its report.
    set_tests_properties(argos_gui_${name} PROPERTIES RESOURCE_LOCK xvfb TIMEOUT 300)
  endfunction()

  # argos_gui_skip(NAME WHY): the test shows as skipped, saying why.
  function(argos_gui_skip name why)
    add_test(NAME argos_gui_${name} COMMAND sh -c "echo 'skipped: ${why}'; exit 77")
    set_tests_properties(argos_gui_${name} PROPERTIES SKIP_RETURN_CODE 77)
  endfunction()

  find_program(XVFB_RUN xvfb-run)
  find_program(OPENBOX openbox)
  if(XVFB_RUN)
    # Labels, tabs, selection and windows on a screen wide enough for both.
    argos_gui_case(overlay 1920x1080)
    # On a small screen the editor is narrowed to the strip beside ARGoS.
    argos_gui_case(small_screen 1024x768)
  else()
    argos_gui_skip(overlay "xvfb-run not found (Debian packages xvfb and xauth)")
  endif()
  if(XVFB_RUN AND OPENBOX)
    # Framed windows: the editor keeps clear of the simulator's frame too.
    argos_gui_case(framed 1920x1080 -w)
  else()
    argos_gui_skip(framed "xvfb-run or openbox not found (Debian packages xvfb, xauth, openbox)")
  endif()
endif()
