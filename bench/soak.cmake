# bench_soak: one robot stepping a script a million times while it builds
# strings, tables and closures and talks to a second robot; prints memory
# every 100,000 steps (a long-run check, not a test).
if(TARGET veskcompiler AND TARGET veskdbg)
  add_executable(bench_soak ${CMAKE_CURRENT_LIST_DIR}/soak.cpp)
  target_link_libraries(bench_soak PRIVATE veskharness veskcompiler veskdbg)
endif()
