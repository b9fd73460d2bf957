# Tests of the simulator GUI widgets (editor, highlighter, state tree models).
# They run on Qt's offscreen platform, so no display is needed.
find_package(Qt5 QUIET COMPONENTS Test)
if(TARGET vesk_qt_widgets AND Qt5Test_FOUND)
  vesk_unit_test(test_gui
    SOURCES unit/test_gui_app.cpp unit/test_gui_editor.cpp unit/test_gui_statetree.cpp
    LIBS vesk_qt_widgets vesk Qt5::Test)
  # The test cases are discovered when CTest starts; this script, run after
  # the discovery, gives each of them the offscreen platform.
  set(gui_test_env ${CMAKE_CURRENT_BINARY_DIR}/test_gui_env.cmake)
  file(WRITE ${gui_test_env}
    "if(test_gui_TESTS)\n"
    "  set_tests_properties(\${test_gui_TESTS} PROPERTIES ENVIRONMENT QT_QPA_PLATFORM=offscreen)\n"
    "endif()\n")
  set_property(DIRECTORY APPEND PROPERTY TEST_INCLUDE_FILES ${gui_test_env})
endif()
