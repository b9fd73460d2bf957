# Ecosystem: installation and the embedding example, the language guide
# (every snippet is run and its output compared) and the editor support
# (keyword lists and rules agree with the built-in highlighter).
find_program(ECO_PYTHON python3)
set(ECO_DIR ${CMAKE_CURRENT_SOURCE_DIR}/eco)

set(ECO_FLAGS "")
if(VESK_SANITIZE)
  set(ECO_FLAGS "-fsanitize=address,undefined -fno-omit-frame-pointer")
endif()
add_test(NAME eco_install_embed
  COMMAND sh ${ECO_DIR}/embed_install.sh ${CMAKE_BINARY_DIR} ${CMAKE_SOURCE_DIR} ${ECO_FLAGS})

# The language guide: every snippet runs and prints what the guide shows;
# the robot snippets run in vesksim. The second test feeds the checker a
# guide with five stale snippets (two of them on robots) among good ones, so
# a checker that stopped comparing would be noticed. Without vesksim the
# robot snippets fail.
if(ECO_PYTHON)
  set(ECO_VESKSIM "")
  set(ECO_VESKSIM --vesksim $<TARGET_FILE:vesksim>)
  add_test(NAME eco_language_guide
    COMMAND ${ECO_PYTHON} ${ECO_DIR}/check_guide.py ${ECO_VESKSIM} $<TARGET_FILE:vsk>
            ${CMAKE_SOURCE_DIR}/docs/language.md)
  add_test(NAME eco_guide_checker_finds_drift
    COMMAND ${ECO_PYTHON} ${ECO_DIR}/check_guide.py --expect-failures 5 ${ECO_VESKSIM}
            $<TARGET_FILE:vsk> ${ECO_DIR}/data/drift_guide.md)
endif()

# The terminal sessions of the debugger's guide, run as they stand in a copy
# of the examples, with the output they show.
if(ECO_PYTHON)
  add_test(NAME eco_debugger_sessions
    COMMAND ${ECO_PYTHON} ${ECO_DIR}/check_sessions.py
            --bin $<TARGET_FILE_DIR:vskdbg> --bin $<TARGET_FILE_DIR:vsk>
            --bin $<TARGET_FILE_DIR:vesksim> --root ${CMAKE_SOURCE_DIR}
            ${CMAKE_SOURCE_DIR}/docs/debugger.md)
endif()

# Editor support: the Vim syntax file and the VS Code grammar highlight the
# sample lines exactly like the simulator's highlighter (Vim itself is used
# when it is installed).
set(ECO_HIGHLIGHTER ${CMAKE_SOURCE_DIR}/src/simulator/vesk_qt_syntax_highlighter.cpp)
if(ECO_PYTHON)
  file(GLOB ECO_SAMPLES ${CMAKE_SOURCE_DIR}/examples/*.vsk ${CMAKE_SOURCE_DIR}/examples/*/*.vsk)
  add_test(NAME eco_editor_highlighting
    COMMAND ${ECO_PYTHON} ${ECO_DIR}/check_editors.py ${CMAKE_SOURCE_DIR}
            ${ECO_DIR}/data/highlight_lines.vsk ${CMAKE_SOURCE_DIR}/docs/language.md
            ${ECO_SAMPLES})
endif()

# The README's quick start and first command, in a fresh copy of the tree,
# as they stand. They build the programs themselves (minutes), so the
# sanitizer pass, which would only repeat that, leaves the test out.
if(NOT VESK_SANITIZE)
  add_test(NAME eco_readme_quick_start
    COMMAND ${ECO_DIR}/readme_quick_start.sh ${CMAKE_SOURCE_DIR})
  set_tests_properties(eco_readme_quick_start PROPERTIES TIMEOUT 3600)
endif()

# The command of docs/architecture.md draws the picture of the build.
add_test(NAME eco_architecture_graph
  COMMAND ${ECO_DIR}/architecture_graph.sh ${CMAKE_SOURCE_DIR})

# The minimal host compiles a script in memory, runs it and calls into it.
add_test(NAME eco_host_example
  COMMAND ${CMAKE_CURRENT_SOURCE_DIR}/e2e/run_case.sh
          -i ${CMAKE_SOURCE_DIR}/examples/host/fact.vsk ${ECO_DIR}/expected/host_example
          -- $<TARGET_FILE:vesk_host_example> fact.vsk)
