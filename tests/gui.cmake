# Tests of the simulator GUI widgets (editor, highlighter, state tree models).
find_package(Qt5 QUIET COMPONENTS Test)
if(Qt5Test_FOUND)
  vesk_gui_test(test_gui
    SOURCES unit/test_gui_editor.cpp unit/test_gui_statetree.cpp
            unit/test_gui_log_panel.cpp
    LIBS vesk_qt_widgets argos3plugin_simulator_vesk vesk)
endif()
