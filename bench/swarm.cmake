# bench_swarm: time the swarm harness takes for 100 robots over 1,000 steps,
# every robot broadcasting one value per step to its grid neighbours.
if(TARGET veskcompiler AND TARGET veskdbg)
  add_executable(bench_swarm ${CMAKE_CURRENT_LIST_DIR}/bench_swarm.cpp)
  target_link_libraries(bench_swarm PRIVATE vesk veskharness veskcompiler veskdbg)
endif()
