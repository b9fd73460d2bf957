# The modules of the Vesk libraries, one source file each (NAME.cpp in this
# directory), listed once for the build of the libraries and for the fuzz
# build, which compiles them again with coverage instrumentation.

# libvesk: containers, values, heap, VM, swarm communication, libraries.
set(VESK_RUNTIME_MODULES
  veskdarray veskdict veskstrman vesktype veskheap veskvm veskvm_exec vesktable
  veskmsg veskinmsg veskoutmsg veskpacket veskneighbors veskswarm veskvstig
  veskmath veskstring veskio)

# libveskdbg: debug information, assembler and disassembler, the runner.
set(VESK_DBG_MODULES veskdebug veskasm vesktools)

# veskcompiler: lexer and compiler, building in memory, the static checker,
# the debugger (local names from the compiler, state, commands).
set(VESK_COMPILER_MODULES vesklex veskparser veskbuild veskcheck veskdbgsyms
  veskdbgexpr veskdbgcli)

# Modules without a header of their own (the interpreter loop's file works on
# the VM's internals).
set(VESK_HEADERLESS_MODULES veskvm_exec)

# vesk_module_files(OUT EXT MODULE...): the files MODULE.EXT of the modules,
# as absolute paths. A module whose file is missing is a configure error.
function(vesk_module_files out ext)
  set(files)
  foreach(m ${ARGN})
    set(file ${CMAKE_CURRENT_FUNCTION_LIST_DIR}/${m}.${ext})
    if(NOT EXISTS ${file})
      message(FATAL_ERROR "module ${m}: ${file} is missing")
    endif()
    list(APPEND files ${file})
  endforeach()
  set(${out} ${files} PARENT_SCOPE)
endfunction()

# vesk_module_sources(OUT MODULE...): the modules' source files.
function(vesk_module_sources out)
  vesk_module_files(files cpp ${ARGN})
  set(${out} ${files} PARENT_SCOPE)
endfunction()

# vesk_public_headers(OUT): the headers of the libraries' modules and the
# definitions they share, as absolute paths; these are what is installed.
function(vesk_public_headers out)
  set(modules ${VESK_RUNTIME_MODULES} ${VESK_DBG_MODULES} ${VESK_COMPILER_MODULES})
  list(REMOVE_ITEM modules ${VESK_HEADERLESS_MODULES})
  vesk_module_files(files h ${modules})
  set(${out} ${CMAKE_CURRENT_FUNCTION_LIST_DIR}/veskdefs.h ${files} PARENT_SCOPE)
endfunction()
