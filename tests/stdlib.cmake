# Standard libraries: math and random numbers, strings, files (unit tests
# calling the libraries through a VM).
vesk_unit_test(test_stdlib
  SOURCES unit/test_stdlib_math.cpp unit/test_stdlib_string.cpp unit/test_stdlib_io.cpp
  LIBS vesk)
