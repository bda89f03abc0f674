# Manual pages for the tools, made from their own --help when they are built
# and installed with them. As a script (cmake -P) it writes one page:
#   -DTOOL=<program> -DNAME=<name> -DSUMMARY=<one line> -DVERSION=<v> -DOUT=<file>
#   [-DSUBCOMMANDS=a,b]: a section with the --help of each subcommand

if(CMAKE_SCRIPT_MODE_FILE)
  function(help_section title)
    execute_process(COMMAND ${TOOL} ${ARGN} --help OUTPUT_VARIABLE help RESULT_VARIABLE result)
    if(NOT result EQUAL 0)
      message(FATAL_ERROR "${TOOL} ${ARGN} --help failed: ${result}")
    endif()
    # roff: backslashes written as \e, a leading dot or quote kept as text.
    string(REPLACE "\\" "\\e" help "${help}")
    string(REGEX REPLACE "(^|\n)([.'])" "\\1\\\\&\\2" help "${help}")
    file(APPEND ${OUT} ".SH ${title}\n.nf\n${help}.fi\n")
  endfunction()
  string(TOUPPER "${NAME}" upper)
  file(WRITE ${OUT}
       ".TH ${upper} 1 \"\" \"vek_comm2 ${VERSION}\" \"vek_comm2 tools\"\n"
       ".SH NAME\n${NAME} \\- ${SUMMARY}\n")
  help_section("DESCRIPTION")
  string(REPLACE "," ";" subcommands "${SUBCOMMANDS}")
  foreach(sub ${subcommands})
    string(TOUPPER "${sub}" title)
    help_section("${title}" ${sub})
  endforeach()
  file(APPEND ${OUT} ".SH SEE ALSO\n\\fBvekhost\\fR(1), \\fBpanelsim\\fR(1), \\fBvekmdm\\fR(1)\n")
  return()
endif()

# vek_tool_man_page(target "summary" [subcommand ...])
function(vek_tool_man_page target summary)
  set(page ${CMAKE_CURRENT_BINARY_DIR}/${target}.1)
  string(REPLACE ";" "," subcommands "${ARGN}")
  add_custom_command(OUTPUT ${page}
                     COMMAND ${CMAKE_COMMAND} -DTOOL=$<TARGET_FILE:${target}> -DNAME=${target} "-DSUMMARY=${summary}"
                             -DVERSION=${PROJECT_VERSION} -DOUT=${page} -DSUBCOMMANDS=${subcommands}
                             -P ${CMAKE_CURRENT_FUNCTION_LIST_FILE}
                     DEPENDS ${target} ${CMAKE_CURRENT_FUNCTION_LIST_FILE}
                     COMMENT "Manual page of ${target}")
  add_custom_target(${target}_man ALL DEPENDS ${page})
  install(FILES ${page} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1 COMPONENT runtime)
endfunction()
