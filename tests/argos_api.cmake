# The ARGoS API as the plug-in and the headless world rely on it, with the
# world's robot devices and harness: the same tests run against ARGoS where
# it is installed and against the stand-in elsewhere. The stand-in's
# entities, and the tests' wiring of them into its space
# (support/standin_wiring.*), are tested where the stand-in is built.
vesk_unit_test(test_argos_api
  SOURCES unit/test_argos_api_datatypes.cpp
          unit/test_argos_api_config.cpp
          unit/test_argos_api_control.cpp
  LIBS vesksimworld)
if(VESK_ARGOS_STANDIN)
  vesk_unit_test(test_argos_standin
    SOURCES unit/test_argos_standin_entities.cpp support/standin_wiring.cpp
    LIBS argos3standin)
endif()
