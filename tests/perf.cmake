# The lookup index of large dictionaries: it must never change what a
# dictionary holds, finds or walks, for plain keys, table keys and source
# positions.
if(TARGET veskdbg)
  vesk_unit_test(test_dict_index SOURCES unit/test_dict_index.cpp LIBS veskdbg)
endif()
