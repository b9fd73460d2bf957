# Tests of the script editor window and of vskedit's simulator window (built
# against ARGoS or its stand-in), and of the "vesk_qt" user functions on the
# stand-in's Qt/OpenGL layer (with ARGoS they run in ARGoS itself, see
# argos.cmake).
find_package(Qt5 QUIET COMPONENTS Test Widgets)
if(TARGET vskeditlib AND Qt5Test_FOUND)
  vesk_gui_test(test_gui2
    SOURCES unit/test_gui2_main_window.cpp unit/test_gui2_vskedit.cpp
    LIBS vskeditlib)
  if(TARGET argos3plugin_simulator_vesk_qt)
    vesk_gui_test(test_gui_vesk_qt
      SOURCES unit/test_gui2_vesk_qt.cpp
      LIBS vskeditlib argos3plugin_simulator_vesk_qt argos3standin_sim)
  endif()
endif()
