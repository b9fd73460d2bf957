# bench_vesksim: vesksim's world with 100, 1,000 and 5,000 foot-bots running
# the foot-bot controller, one broadcast per robot per step. The world's
# targets are defined after bench/, so the program is added once the whole
# project has been read.
function(vesksim_add_bench)
  if(TARGET vesksimworld AND TARGET veskcompiler AND TARGET argos3plugin_simulator_vesk)
    add_executable(bench_vesksim ${CMAKE_SOURCE_DIR}/bench/bench_vesksim.cpp)
    target_link_libraries(bench_vesksim PRIVATE vesksimworld veskcompiler veskdbg)
  endif()
endfunction()
cmake_language(DEFER DIRECTORY ${CMAKE_SOURCE_DIR} CALL vesksim_add_bench)
