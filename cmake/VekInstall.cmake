# What `cmake --install` puts in place: the shared library, the public headers,
# a CMake package (find_package(vek_comm2 2)), a pkg-config file and the tools.
# The static archive and the tests stay in the build tree.
include(CMakePackageConfigHelpers)

set(VEK_CMAKE_DIR ${CMAKE_INSTALL_LIBDIR}/cmake/vek_comm2)

# Lets a project that adds this tree as a subdirectory use the package's name.
add_library(vek_comm2::vek_comm2 ALIAS vek_comm2)

install(TARGETS vek_comm2 EXPORT vek_comm2Targets
        LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT runtime NAMELINK_COMPONENT development
        RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT runtime
        ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT development)
install(FILES ${PROJECT_SOURCE_DIR}/include/vek_comm2.h ${PROJECT_SOURCE_DIR}/include/vek_host.h
        DESTINATION ${CMAKE_INSTALL_INCLUDEDIR} COMPONENT development)

# vek_client: its own target in the same package (vek_comm2::vek_client),
# its own pkg-config file, and the Python package in <prefix>/python.
if(TARGET vek_client)
  add_library(vek_comm2::vek_client ALIAS vek_client)
  install(TARGETS vek_client EXPORT vek_comm2Targets
          LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT runtime NAMELINK_COMPONENT development)
  if(IS_ABSOLUTE "${CMAKE_INSTALL_LIBDIR}")
    set_target_properties(vek_client PROPERTIES INSTALL_RPATH "${CMAKE_INSTALL_LIBDIR}")
  else()
    set_target_properties(vek_client PROPERTIES INSTALL_RPATH "$ORIGIN")
  endif()
  install(FILES ${PROJECT_SOURCE_DIR}/client/include/vek_client.h DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}
          COMPONENT development)
  install(FILES ${PROJECT_SOURCE_DIR}/client/include/vek/client.hpp DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/vek
          COMPONENT development)
  install(DIRECTORY ${PROJECT_SOURCE_DIR}/client/python/vek DESTINATION python COMPONENT runtime
          PATTERN "__pycache__" EXCLUDE)
  # Where the package finds the library, relative to python/vek.
  if(IS_ABSOLUTE "${CMAKE_INSTALL_LIBDIR}")
    set(VEK_PY_LIBRARY "${CMAKE_INSTALL_LIBDIR}/libvek_client.so.${PROJECT_VERSION_MAJOR}")
  else()
    set(VEK_PY_LIBRARY "../../${CMAKE_INSTALL_LIBDIR}/libvek_client.so.${PROJECT_VERSION_MAJOR}")
  endif()
  file(WRITE ${PROJECT_BINARY_DIR}/vek_paths.py
       "# Written by cmake --install: where libvek_client is, from this folder.\nLIBRARY = \"${VEK_PY_LIBRARY}\"\n")
  install(FILES ${PROJECT_BINARY_DIR}/vek_paths.py DESTINATION python/vek RENAME _paths.py COMPONENT runtime)
endif()

install(EXPORT vek_comm2Targets NAMESPACE vek_comm2:: DESTINATION ${VEK_CMAKE_DIR} COMPONENT development)
configure_package_config_file(${CMAKE_CURRENT_LIST_DIR}/vek_comm2Config.cmake.in
                              ${PROJECT_BINARY_DIR}/vek_comm2Config.cmake
                              INSTALL_DESTINATION ${VEK_CMAKE_DIR})
# A new major version changes the exports or the record layouts.
write_basic_package_version_file(${PROJECT_BINARY_DIR}/vek_comm2ConfigVersion.cmake
                                 VERSION ${PROJECT_VERSION} COMPATIBILITY SameMajorVersion)
install(FILES ${PROJECT_BINARY_DIR}/vek_comm2Config.cmake ${PROJECT_BINARY_DIR}/vek_comm2ConfigVersion.cmake
        DESTINATION ${VEK_CMAKE_DIR} COMPONENT development)

# pkg-config: paths relative to the .pc file, so that the tree works wherever
# it was installed (--prefix at install time, DESTDIR, or moved later).
set(VEK_PC_DIR ${CMAKE_INSTALL_LIBDIR}/pkgconfig)
if(IS_ABSOLUTE "${CMAKE_INSTALL_LIBDIR}" OR IS_ABSOLUTE "${CMAKE_INSTALL_INCLUDEDIR}")
  set(VEK_PC_PREFIX "${CMAKE_INSTALL_PREFIX}")
else()
  file(RELATIVE_PATH VEK_PC_UP /_/${VEK_PC_DIR} /_)
  string(REGEX REPLACE "/$" "" VEK_PC_UP "${VEK_PC_UP}")
  set(VEK_PC_PREFIX "\${pcfiledir}/${VEK_PC_UP}")
endif()
set(VEK_PC_LIBDIR "${CMAKE_INSTALL_FULL_LIBDIR}")
set(VEK_PC_INCLUDEDIR "${CMAKE_INSTALL_FULL_INCLUDEDIR}")
if(NOT IS_ABSOLUTE "${CMAKE_INSTALL_LIBDIR}")
  set(VEK_PC_LIBDIR "\${prefix}/${CMAKE_INSTALL_LIBDIR}")
endif()
if(NOT IS_ABSOLUTE "${CMAKE_INSTALL_INCLUDEDIR}")
  set(VEK_PC_INCLUDEDIR "\${prefix}/${CMAKE_INSTALL_INCLUDEDIR}")
endif()
configure_file(${CMAKE_CURRENT_LIST_DIR}/vek_comm2.pc.in ${PROJECT_BINARY_DIR}/vek_comm2.pc @ONLY)
install(FILES ${PROJECT_BINARY_DIR}/vek_comm2.pc DESTINATION ${VEK_PC_DIR} COMPONENT development)
if(TARGET vek_client)
  configure_file(${CMAKE_CURRENT_LIST_DIR}/vek_client.pc.in ${PROJECT_BINARY_DIR}/vek_client.pc @ONLY)
  install(FILES ${PROJECT_BINARY_DIR}/vek_client.pc DESTINATION ${VEK_PC_DIR} COMPONENT development)
endif()

# Tools, where they were built. vekhost loads the shared library and finds the
# installed copy next to it; the others link the static archive.
foreach(tool vekhost panelsim vekmdm)
  if(TARGET ${tool})
    if(IS_ABSOLUTE "${CMAKE_INSTALL_LIBDIR}")
      set_target_properties(${tool} PROPERTIES INSTALL_RPATH "${CMAKE_INSTALL_LIBDIR}")
    else()
      set_target_properties(${tool} PROPERTIES INSTALL_RPATH "$ORIGIN/../${CMAKE_INSTALL_LIBDIR}")
    endif()
    install(TARGETS ${tool} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT runtime)
  endif()
endforeach()
