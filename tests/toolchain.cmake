# Tool chain: assembler, disassembler, debug information and the console
# runner (unit tests), and the command-line programs (end-to-end tests).
vesk_unit_test(test_asm SOURCES unit/test_asm.cpp unit/test_debug.cpp LIBS veskdbg)
