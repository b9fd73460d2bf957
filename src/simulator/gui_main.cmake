# The script editor window (vesk_qt_gui: main window and tabs, on top of
# vesk_qt_widgets) and the user functions "vesk_qt" that open it inside the
# simulator's Qt/OpenGL view and label the robots.
#
# With ARGoS installed the user functions join the plug-in itself. With the
# stand-in they form their own library, argos3plugin_simulator_vesk_qt, built
# on the stand-in's Qt/OpenGL layer, so that the plug-in and vesksim stay
# free of Qt there.
if(NOT TARGET vesk_qt_widgets OR NOT TARGET veskcompiler)
  return()
endif()

add_library(vesk_qt_gui STATIC
  ${CMAKE_CURRENT_SOURCE_DIR}/vesk_qt_main_window.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/vesk_qt_tab_widget.cpp)
set_target_properties(vesk_qt_gui PROPERTIES AUTOMOC ON)
target_include_directories(vesk_qt_gui PUBLIC ${CMAKE_CURRENT_SOURCE_DIR})
# The controllers' code comes from the plug-in, which whoever links this
# library links too (with ARGoS, the plug-in is the one linking it).
target_link_libraries(vesk_qt_gui PUBLIC vesk_qt_widgets vesk_argos veskcompiler veskdbg vesk)

find_package(OpenGL QUIET)
if(VESK_ARGOS_STANDIN)
  if(NOT TARGET OpenGL::GL)
    return()
  endif()
  set(QTOPENGL_STANDIN ${CMAKE_SOURCE_DIR}/src/argos-standin)
  set(QTOPENGL_HEADERS
    ${QTOPENGL_STANDIN}/include/argos3/plugins/simulator/visualizations/qt-opengl)
  add_library(argos3standin_qtopengl SHARED
    ${QTOPENGL_STANDIN}/qtopengl/qtopengl.cpp
    ${QTOPENGL_HEADERS}/qtopengl_widget.h
    ${QTOPENGL_HEADERS}/qtopengl_main_window.h)
  set_target_properties(argos3standin_qtopengl PROPERTIES AUTOMOC ON)
  target_link_libraries(argos3standin_qtopengl PUBLIC argos3standin Qt5::Widgets
                        OpenGL::GL OpenGL::GLU)

  add_library(argos3plugin_simulator_vesk_qt SHARED ${CMAKE_CURRENT_SOURCE_DIR}/vesk_qt.cpp)
  target_link_libraries(argos3plugin_simulator_vesk_qt PUBLIC vesk_qt_gui argos3standin_qtopengl
                        argos3plugin_simulator_vesk)
elseif(ARGOS_QTOPENGL_FOUND)
  set_target_properties(argos3plugin_simulator_vesk PROPERTIES AUTOMOC ON)
  target_sources(argos3plugin_simulator_vesk PRIVATE ${CMAKE_CURRENT_SOURCE_DIR}/vesk_qt.cpp)
  target_link_libraries(argos3plugin_simulator_vesk PRIVATE vesk_qt_gui
                        argos3plugin_simulator_qtopengl ${ARGOS_QTOPENGL_LIBRARIES})
  # The editor's classes stay inside the plug-in: vskedit, which links the
  # plug-in for its controllers, brings its own copy of the editor.
  target_link_options(argos3plugin_simulator_vesk PRIVATE "LINKER:--exclude-libs,ALL")
endif()
