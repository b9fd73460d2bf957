# Qt widgets of the simulator GUI: the script editor with its syntax
# highlighter, and the item models of the state tree view. Built only when
# Qt 5 Widgets is installed.
find_package(Qt5 QUIET COMPONENTS Widgets)
if(Qt5Widgets_FOUND)
  add_library(vesk_qt_widgets STATIC
    ${CMAKE_CURRENT_SOURCE_DIR}/vesk_qt_editor.cpp
    ${CMAKE_CURRENT_SOURCE_DIR}/vesk_qt_log_panel.cpp
    ${CMAKE_CURRENT_SOURCE_DIR}/vesk_qt_syntax_highlighter.cpp
    ${CMAKE_CURRENT_SOURCE_DIR}/vesk_qt_statetree_item.cpp
    ${CMAKE_CURRENT_SOURCE_DIR}/vesk_qt_statetree_model.cpp)
  set_target_properties(vesk_qt_widgets PROPERTIES AUTOMOC ON)
  target_include_directories(vesk_qt_widgets PUBLIC ${CMAKE_CURRENT_SOURCE_DIR})
  # The state tree models read the VM of a robot's controller: whoever links
  # these widgets links the controllers too (the plug-in, or a program
  # beside it), so that the plug-in can hold the widgets without a cycle.
  target_link_libraries(vesk_qt_widgets PUBLIC Qt5::Widgets vesk vesk_argos)
endif()
