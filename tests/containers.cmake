# Containers and values: dynamic array, dictionary, string manager, objects.
vesk_unit_test(test_containers
  SOURCES unit/test_darray.cpp unit/test_dict.cpp unit/test_strman.cpp unit/test_type.cpp
  LIBS vesk)
# The heap needs a whole VM for its roots.
vesk_unit_test(test_heap SOURCES unit/test_heap.cpp LIBS vesk)
# The lookup index of large dictionaries: it must never change what a
# dictionary holds, finds or walks, for plain keys, table keys and source
# positions.
vesk_unit_test(test_dict_index SOURCES unit/test_dict_index.cpp LIBS veskdbg)
