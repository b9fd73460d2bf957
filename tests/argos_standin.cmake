# Tests of the ARGoS stand-in (only built when the stand-in is in use).
if(TARGET argos3standin_sim)
  vesk_unit_test(test_argos_standin
    SOURCES unit/test_argos_standin_datatypes.cpp
            unit/test_argos_standin_config.cpp
            unit/test_argos_standin_control.cpp
            unit/test_argos_standin_arena.cpp
    LIBS argos3standin_sim argos3standin)
endif()
