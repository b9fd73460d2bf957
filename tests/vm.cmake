# The virtual machine: loading, instructions, calls, natives and the table
# built-ins.
vesk_unit_test(test_vm
  SOURCES unit/test_vm.cpp unit/test_vm_calls.cpp unit/test_vm_table.cpp
    unit/test_vm_checks.cpp
  LIBS vesk)

# The run loops' fused sequences against single steps.
vesk_unit_test(test_vm_fused SOURCES unit/test_vm_fused.cpp LIBS vesk)
target_compile_definitions(test_vm_fused PRIVATE VESK_TREE="${CMAKE_SOURCE_DIR}")
