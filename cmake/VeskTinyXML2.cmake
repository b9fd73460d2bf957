# tinyxml2, which reads experiment files (vesksim) and the stand-in's XML
# configuration, as the target vesk_tinyxml2: Debian ships its CMake package
# in some releases and only a pkg-config file in others.
find_package(tinyxml2 CONFIG QUIET)
add_library(vesk_tinyxml2 INTERFACE)
if(TARGET tinyxml2::tinyxml2)
  target_link_libraries(vesk_tinyxml2 INTERFACE tinyxml2::tinyxml2)
else()
  find_package(PkgConfig REQUIRED)
  pkg_check_modules(VESK_TINYXML2 REQUIRED IMPORTED_TARGET tinyxml2)
  target_link_libraries(vesk_tinyxml2 INTERFACE PkgConfig::VESK_TINYXML2)
endif()
