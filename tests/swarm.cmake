# Swarm communication: wire encoding, message queues and dispatch,
# neighbours, swarms, virtual stigmergy, and whole swarm behaviours run
# through the harness with scripts compiled from tests/data/swarm.
vesk_unit_test(test_swarm
  SOURCES unit/test_swarm_wire.cpp unit/test_swarm_queues.cpp unit/test_swarm_scripts.cpp
          unit/test_swarm_replication.cpp
  LIBS vesktestsupport)
target_compile_definitions(test_swarm PRIVATE
  VESK_SWARM_DATA="${CMAKE_CURRENT_SOURCE_DIR}/data/swarm")
