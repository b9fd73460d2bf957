# Installation of the Vesk tool chain: the programs, the shared libraries,
# the compiler library, the public headers (under include/vesk), a
# pkg-config file (vesk.pc) and a CMake package, so that a host program can
# use find_package(Vesk) and link the imported targets Vesk::vesk,
# Vesk::veskdbg and Vesk::veskcompiler.
include(GNUInstallDirs)
include(CMakePackageConfigHelpers)

set(VESK_INSTALL_CMAKEDIR ${CMAKE_INSTALL_LIBDIR}/cmake/Vesk)

# Installed programs find the installed libraries next to them, whatever the
# prefix, and the debug library finds the runtime beside it.
set_target_properties(vesk veskdbg PROPERTIES INSTALL_RPATH "$ORIGIN")
set(VESK_INSTALL_PROGRAMS vsk vskparse vskasm vskdeasm vskrun vskdbg)
set_target_properties(${VESK_INSTALL_PROGRAMS}
  PROPERTIES INSTALL_RPATH "$ORIGIN/../${CMAKE_INSTALL_LIBDIR}")
set(VESK_INSTALL_LIBRARIES vesk veskdbg veskcompiler)

install(TARGETS ${VESK_INSTALL_LIBRARIES} EXPORT VeskTargets
  LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR}
  ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR}
  RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(TARGETS ${VESK_INSTALL_PROGRAMS} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})

# The headers of the libraries' modules (src/vesk/modules.cmake).
vesk_public_headers(VESK_PUBLIC_HEADERS)
install(FILES ${VESK_PUBLIC_HEADERS} DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/vesk)

install(EXPORT VeskTargets NAMESPACE Vesk:: DESTINATION ${VESK_INSTALL_CMAKEDIR})
configure_package_config_file(${CMAKE_CURRENT_LIST_DIR}/VeskConfig.cmake.in
  ${CMAKE_BINARY_DIR}/VeskConfig.cmake INSTALL_DESTINATION ${VESK_INSTALL_CMAKEDIR}
  PATH_VARS CMAKE_INSTALL_INCLUDEDIR CMAKE_INSTALL_BINDIR)
write_basic_package_version_file(${CMAKE_BINARY_DIR}/VeskConfigVersion.cmake
  COMPATIBILITY SameMinorVersion)
install(FILES ${CMAKE_BINARY_DIR}/VeskConfig.cmake ${CMAKE_BINARY_DIR}/VeskConfigVersion.cmake
  DESTINATION ${VESK_INSTALL_CMAKEDIR})

# pkg-config: "vesk" is the runtime; the debug library is one more -l flag.
file(RELATIVE_PATH VESK_PC_TO_PREFIX ${CMAKE_INSTALL_FULL_LIBDIR}/pkgconfig
  ${CMAKE_INSTALL_PREFIX})
configure_file(${CMAKE_CURRENT_LIST_DIR}/vesk.pc.in ${CMAKE_BINARY_DIR}/vesk.pc @ONLY)
install(FILES ${CMAKE_BINARY_DIR}/vesk.pc DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig)
