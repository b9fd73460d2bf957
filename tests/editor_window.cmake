# Tests of the script editor window and of vskedit's simulator window (built
# against ARGoS or its stand-in), and of the "vesk_qt" user functions on the
# stand-in's Qt/OpenGL layer (with ARGoS they run in ARGoS itself, see
# argos_gui.cmake). The user functions find the robots in the ARGoS API's
# space, where the stand-in's entity wiring enters them.
find_package(Qt5 QUIET COMPONENTS Test Widgets)
if(Qt5Test_FOUND)
  vesk_gui_test(test_editor_window
    SOURCES unit/test_editor_window.cpp unit/test_vskedit_window.cpp
            unit/test_vskedit_swarm_view.cpp
    LIBS vskeditlib)
  # Only the stand-in builds the user functions as a library of their own.
  if(VESK_ARGOS_STANDIN)
    vesk_gui_test(test_vesk_qt_user_functions
      SOURCES unit/test_vesk_qt_user_functions.cpp support/standin_wiring.cpp
      LIBS vskeditlib argos3plugin_simulator_vesk_qt)
  endif()
endif()

# vskedit_shot: pictures of vskedit's window for docs/ from real runs
# (vskedit/shots.sh takes them all on a virtual X screen).
if(TARGET vskeditlib)
  add_executable(vskedit_shot vskedit/vskedit_shot.cpp)
  target_link_libraries(vskedit_shot PRIVATE vskeditlib)
endif()
