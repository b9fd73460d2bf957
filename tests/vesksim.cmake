# vesksim, the headless simulator: its world model with a probe controller
# (unit tests), and the program on real experiment files (end-to-end).
if(TARGET vesksimworld)
  vesk_unit_test(test_vesksim
    SOURCES unit/test_vesksim_world.cpp unit/test_vesksim_experiment.cpp
            unit/vesksim_probe.cpp
    LIBS vesksimworld)
endif()
