# Tests of the script editor window, the "vesk_qt" user functions on the
# stand-in's Qt/OpenGL layer, and vskedit's simulator window. They run on
# Qt's offscreen platform, so no display is needed.
find_package(Qt5 QUIET COMPONENTS Test Widgets)
if(TARGET vskeditlib AND TARGET argos3plugin_simulator_vesk_qt AND Qt5Test_FOUND)
  vesk_unit_test(test_gui2
    SOURCES unit/test_gui_app.cpp unit/test_gui2_main_window.cpp
            unit/test_gui2_vesk_qt.cpp unit/test_gui2_vskedit.cpp
    LIBS vskeditlib argos3plugin_simulator_vesk_qt argos3standin_sim Qt5::Test)
  set(gui2_test_env ${CMAKE_CURRENT_BINARY_DIR}/test_gui2_env.cmake)
  file(WRITE ${gui2_test_env}
    "if(test_gui2_TESTS)\n"
    "  set_tests_properties(\${test_gui2_TESTS} PROPERTIES ENVIRONMENT QT_QPA_PLATFORM=offscreen)\n"
    "endif()\n")
  set_property(DIRECTORY APPEND PROPERTY TEST_INCLUDE_FILES ${gui2_test_env})
endif()
