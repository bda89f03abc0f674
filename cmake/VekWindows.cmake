# The Windows DLL: vek_comm2.dll with the status dialog's resources, its
# import library, and what `cmake --install` puts in place for a host.
enable_language(RC)

configure_file(${PROJECT_SOURCE_DIR}/src/resources/vek_version.h.in ${PROJECT_BINARY_DIR}/resources/vek_version.h @ONLY)
set(VEK_RESOURCE_SCRIPT ${PROJECT_SOURCE_DIR}/src/resources/vek_comm2.rc)
set_source_files_properties(${VEK_RESOURCE_SCRIPT} PROPERTIES INCLUDE_DIRECTORIES ${PROJECT_BINARY_DIR}/resources)

# The resources go into every module that makes the status dialog: a
# resource object in a static archive would never be pulled in.
target_sources(vek_comm2 PRIVATE ${VEK_RESOURCE_SCRIPT})
target_include_directories(vek_comm2 PRIVATE ${PROJECT_BINARY_DIR}/resources)

# "vek_comm2.dll", as hosts load it, with "libvek_comm2.dll.a" to link against.
set_target_properties(vek_comm2 PROPERTIES PREFIX "" IMPORT_PREFIX "lib")
# Programs and DLLs in one folder, where Windows looks for a program's DLLs.
set(VEK_WIN_BIN_DIR ${PROJECT_BINARY_DIR}/bin)
set_target_properties(vek_comm2 PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${VEK_WIN_BIN_DIR})
target_link_options(vek_comm2 PRIVATE -Wl,--no-undefined)

install(TARGETS vek_comm2 RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR})
install(FILES ${PROJECT_SOURCE_DIR}/include/vek_comm2.h DESTINATION ${CMAKE_INSTALL_INCLUDEDIR})
