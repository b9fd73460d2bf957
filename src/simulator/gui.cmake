# Qt widgets of the simulator GUI: the script editor with its syntax
# highlighter, and the item models of the state tree view. Built only when
# Qt 5 Widgets is installed.
find_package(Qt5 QUIET COMPONENTS Widgets)
if(Qt5Widgets_FOUND)
  add_library(vesk_qt_widgets STATIC
    ${CMAKE_CURRENT_SOURCE_DIR}/vesk_qt_editor.cpp
    ${CMAKE_CURRENT_SOURCE_DIR}/vesk_qt_syntax_highlighter.cpp
    ${CMAKE_CURRENT_SOURCE_DIR}/vesk_qt_statetree_item.cpp
    ${CMAKE_CURRENT_SOURCE_DIR}/vesk_qt_statetree_model.cpp)
  set_target_properties(vesk_qt_widgets PROPERTIES AUTOMOC ON)
  target_include_directories(vesk_qt_widgets PUBLIC ${CMAKE_CURRENT_SOURCE_DIR})
  target_link_libraries(vesk_qt_widgets PUBLIC Qt5::Widgets vesk)
  # The state tree models read the VM of a robot's controller; without the
  # controller they still work on any VM handed to them.
  if(EXISTS ${CMAKE_CURRENT_SOURCE_DIR}/vesk_controller.h AND TARGET vesk_argos)
    target_compile_definitions(vesk_qt_widgets PRIVATE VESK_QT_WITH_CONTROLLER=1)
    target_link_libraries(vesk_qt_widgets PRIVATE vesk_argos)
    # The controller's type information (needed by sanitized builds).
    if(TARGET argos3plugin_simulator_vesk)
      target_link_libraries(vesk_qt_widgets PRIVATE argos3plugin_simulator_vesk)
    endif()
  endif()
endif()
