# bench_vm: interpreter speed on a call-heavy and an arithmetic loop, and the
# rate at which the heap allocates and sweeps objects.
add_executable(bench_vm ${CMAKE_CURRENT_LIST_DIR}/bench_vm.cpp)
target_include_directories(bench_vm PRIVATE ${CMAKE_SOURCE_DIR}/tests/support)
target_link_libraries(bench_vm PRIVATE vesk)
