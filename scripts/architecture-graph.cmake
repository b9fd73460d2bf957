# Options of CMake's --graphviz output for docs/architecture.svg (copied as
# CMakeGraphVizOptions.cmake into the scratch build directory): the
# project's libraries and programs only, one graph.
set(GRAPHVIZ_GRAPH_NAME "Vesk: libraries and programs")
set(GRAPHVIZ_EXTERNAL_LIBS FALSE)
set(GRAPHVIZ_GENERATE_PER_TARGET FALSE)
set(GRAPHVIZ_GENERATE_DEPENDERS FALSE)
set(GRAPHVIZ_IGNORE_TARGETS "^bench_" "^embed_host" "vesk_host_example" "vesktestsupport"
    "vesk_malloc" "vesk_tinyxml2")
