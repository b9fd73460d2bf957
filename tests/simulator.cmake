# Tests of the simulator plug-in: the graph library of the base station
# (always), and the robot controllers on the ARGoS stand-in (only when the
# stand-in is in use).
if(TARGET vesk_graph)
  vesk_unit_test(test_graph_vesk SOURCES unit/test_graph_vesk.cpp LIBS vesk_graph)
endif()
if(TARGET argos3standin_sim AND TARGET argos3plugin_simulator_vesk AND TARGET veskcompiler)
  vesk_unit_test(test_controllers
    SOURCES unit/test_controller_base.cpp
            unit/test_controller_ground.cpp
            unit/test_controller_spiri.cpp
    LIBS argos3plugin_simulator_vesk argos3standin_sim vesk_efootbot_standin
         veskcompiler veskdbg vesk)
endif()
