# Tests of the simulator plug-in: the graph library of the base station, and
# the robot controllers in the headless world's robot harness (built against
# ARGoS or its stand-in, like the plug-in).
vesk_unit_test(test_graph_vesk SOURCES unit/test_graph_vesk.cpp LIBS vesk_graph)
vesk_unit_test(test_controllers
  SOURCES unit/test_controller_base.cpp
          unit/test_controller_ground.cpp
          unit/test_controller_spiri.cpp
  LIBS vesktestsupport_world)
