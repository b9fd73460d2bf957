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
foreach(t vesk veskdbg)
  if(TARGET ${t})
    set_target_properties(${t} PROPERTIES INSTALL_RPATH "$ORIGIN")
  endif()
endforeach()
set(VESK_INSTALL_PROGRAMS)
foreach(p vsk vskparse vskasm vskdeasm vskrun vskdbg)
  if(TARGET ${p})
    set_target_properties(${p} PROPERTIES INSTALL_RPATH "$ORIGIN/../${CMAKE_INSTALL_LIBDIR}")
    list(APPEND VESK_INSTALL_PROGRAMS ${p})
  endif()
endforeach()
set(VESK_INSTALL_LIBRARIES)
foreach(t vesk veskdbg veskcompiler)
  if(TARGET ${t})
    list(APPEND VESK_INSTALL_LIBRARIES ${t})
  endif()
endforeach()

install(TARGETS ${VESK_INSTALL_LIBRARIES} EXPORT VeskTargets
  LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR}
  ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR}
  RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(TARGETS ${VESK_INSTALL_PROGRAMS} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})

# Every header of src/vesk is part of the interface except the VM's internals.
file(GLOB VESK_PUBLIC_HEADERS ${CMAKE_SOURCE_DIR}/src/vesk/*.h)
list(FILTER VESK_PUBLIC_HEADERS EXCLUDE REGEX "_internal\\.h$")
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
