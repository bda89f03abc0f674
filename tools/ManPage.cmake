# Manual pages of the tools. Each tool keeps its page beside its sources as
# <tool>.1.in: roff with the sections written by hand (NAME, SYNOPSIS,
# DESCRIPTION, EXAMPLES, ...) and, on lines of their own, directives that
# take the rest from the program's own --help when it is built, so that the
# page cannot drift from the program:
#   @options@            the option groups of TOOL --help
#   @options SUB@        those of TOOL SUB --help (its -h,--help left out)
#   @subcommands@        each entry of TOOL --help's "Subcommands:" section,
#                        with its text and its options
#   @list HEADING@       the entries of TOOL --help's "HEADING:" section
#   @list SUB: HEADING@  the same from TOOL SUB --help
# A section is a line "HEADING:" at the left margin and the indented lines
# under it; an entry is a line indented by at most six spaces, its name
# parted from its text by two spaces or more, and the lines indented deeper
# that carry its text on. A directive that finds nothing fails the build.
#
# As a script: cmake -DTOOL=<program> -DNAME=<name> -DVERSION=<v>
#   -DTEMPLATE=<tool>.1.in -DOUT=<page> -P ManPage.cmake

if(CMAKE_SCRIPT_MODE_FILE)
  # Help text goes through CMake lists, which split at ";" and pair "[" with
  # "]": those (and backslashes, for roff) travel as control characters.
  string(ASCII 1 semicolon)
  string(ASCII 2 open_bracket)
  string(ASCII 3 close_bracket)
  string(ASCII 4 backslash)

  function(vek_man_fail text)
    message(FATAL_ERROR "${TEMPLATE}: ${text}")
  endfunction()

  # Text as a list of lines, its list characters protected.
  function(vek_man_lines text out)
    string(REPLACE "\\" "${backslash}" text "${text}")
    string(REPLACE ";" "${semicolon}" text "${text}")
    string(REPLACE "[" "${open_bracket}" text "${text}")
    string(REPLACE "]" "${close_bracket}" text "${text}")
    string(REPLACE "\n" ";" text "${text}")
    set(${out} "${text}" PARENT_SCOPE)
  endfunction()

  # The lines of TOOL [SUB] --help.
  function(vek_man_help out)
    execute_process(COMMAND ${TOOL} ${ARGN} --help OUTPUT_VARIABLE help ERROR_VARIABLE error
                    RESULT_VARIABLE result)
    if(NOT result EQUAL 0)
      vek_man_fail("${NAME} ${ARGN} --help failed (${result}): ${error}")
    endif()
    vek_man_lines("${help}" lines)
    set(${out} "${lines}" PARENT_SCOPE)
  endfunction()

  # roff text: backslashes as \e, dashes as \- (as typed, not hyphens), a
  # leading dot or quote kept as text.
  function(vek_man_escape text out)
    string(REPLACE "${backslash}" "\\e" text "${text}")
    string(REPLACE "-" "\\-" text "${text}")
    if(text MATCHES "^[.']")
      set(text "\\&${text}")
    endif()
    set(${out} "${text}" PARENT_SCOPE)
  endfunction()

  # Sections of a help text, as parallel lists: the headings (without the
  # colon) and the lines under each, each line ended by a control character.
  # A body starts with one too, so that none is empty (CMake drops empty
  # list elements on append, which would part the lists).
  string(ASCII 5 line_break)
  function(vek_man_sections lines headings_out bodies_out)
    set(headings "")
    set(bodies "")
    set(current "")
    set(body "${line_break}")
    foreach(line IN LISTS lines)
      if(line MATCHES "^[^ ].*:$")
        if(NOT current STREQUAL "")
          list(APPEND headings "${current}")
          list(APPEND bodies "${body}")
        endif()
        string(REGEX REPLACE ":$" "" current "${line}")
        set(body "${line_break}")
      elseif(line MATCHES "^[^ ]")
        if(NOT current STREQUAL "")
          list(APPEND headings "${current}")
          list(APPEND bodies "${body}")
        endif()
        set(current "")
        set(body "${line_break}")
      elseif(NOT current STREQUAL "" AND NOT line STREQUAL "")
        string(APPEND body "${line}${line_break}")
      endif()
    endforeach()
    if(NOT current STREQUAL "")
      list(APPEND headings "${current}")
      list(APPEND bodies "${body}")
    endif()
    set(${headings_out} "${headings}" PARENT_SCOPE)
    set(${bodies_out} "${bodies}" PARENT_SCOPE)
  endfunction()

  # roff for the entries of one section body; skip names an entry to leave out.
  function(vek_man_entries body skip out)
    string(REPLACE "${line_break}" ";" lines "${body}")
    set(roff "")
    set(tag "")
    set(text "")
    foreach(line IN LISTS lines)
      string(LENGTH "${line}" length)
      string(REGEX REPLACE "^ +" "" line "${line}")
      string(LENGTH "${line}" rest)
      math(EXPR indent "${length} - ${rest}")
      string(STRIP "${line}" line)
      if(line STREQUAL "")
        continue()
      endif()
      if(indent GREATER 6 AND NOT tag STREQUAL "")
        if(text STREQUAL "")
          set(text "${line}")
        else()
          string(APPEND text " ${line}")
        endif()
        continue()
      endif()
      if(NOT tag STREQUAL "" AND NOT tag STREQUAL skip)
        vek_man_entry("${tag}" "${text}" entry)
        string(APPEND roff "${entry}")
      endif()
      string(FIND "${line}" "  " gap)
      if(gap EQUAL -1)
        set(tag "${line}")
        set(text "")
      else()
        string(SUBSTRING "${line}" 0 ${gap} tag)
        string(SUBSTRING "${line}" ${gap} -1 text)
        string(STRIP "${text}" text)
      endif()
    endforeach()
    if(NOT tag STREQUAL "" AND NOT tag STREQUAL skip)
      vek_man_entry("${tag}" "${text}" entry)
      string(APPEND roff "${entry}")
    endif()
    set(${out} "${roff}" PARENT_SCOPE)
  endfunction()

  function(vek_man_entry tag text out)
    vek_man_escape("${tag}" tag)
    vek_man_escape("${text}" text)
    set(${out} ".TP\n\\fB${tag}\\fR\n${text}\n" PARENT_SCOPE)
  endfunction()

  # The entries of section heading in TOOL [sub] --help.
  function(vek_man_list sub heading out)
    vek_man_help(lines ${sub})
    vek_man_sections("${lines}" headings bodies)
    list(FIND headings "${heading}" at)
    if(at EQUAL -1)
      vek_man_fail("${NAME} ${sub} --help has no section \"${heading}:\"")
    endif()
    list(GET bodies ${at} body)
    vek_man_entries("${body}" "" roff)
    set(${out} "${roff}" PARENT_SCOPE)
  endfunction()

  # Every option group of TOOL [sub] --help: a section whose first entry
  # starts with a dash. Groups other than "Options" keep their heading.
  function(vek_man_options sub out)
    vek_man_help(lines ${sub})
    vek_man_sections("${lines}" headings bodies)
    set(skip "")
    if(NOT sub STREQUAL "")
      set(skip "-h,--help")
    endif()
    set(roff "")
    set(found FALSE)
    list(LENGTH headings count)
    if(count GREATER 0)
      math(EXPR last "${count} - 1")
      foreach(i RANGE ${last})
        list(GET headings ${i} heading)
        list(GET bodies ${i} body)
        if(NOT body MATCHES "^${line_break} +-")
          continue()
        endif()
        set(found TRUE)
        vek_man_entries("${body}" "${skip}" entries)
        if(entries STREQUAL "")
          continue()
        endif()
        if(NOT heading MATCHES "^(Options|OPTIONS)$")
          vek_man_escape("${heading}" heading)
          string(APPEND roff ".PP\n\\fI${heading}\\fR\n")
        endif()
        string(APPEND roff "${entries}")
      endforeach()
    endif()
    if(NOT found)
      vek_man_fail("${NAME} ${sub} --help lists no options")
    endif()
    set(${out} "${roff}" PARENT_SCOPE)
  endfunction()

  # Each subcommand with its text and options.
  function(vek_man_subcommands out)
    vek_man_help(lines)
    vek_man_sections("${lines}" headings bodies)
    list(FIND headings "Subcommands" at)
    if(at EQUAL -1)
      vek_man_fail("${NAME} --help has no section \"Subcommands:\"")
    endif()
    list(GET bodies ${at} body)
    string(REPLACE "${line_break}" ";" entries "${body}")
    set(roff "")
    foreach(line IN LISTS entries)
      if(NOT line MATCHES "^ ? ? ? ? ? ?[^ ]")
        continue()
      endif()
      string(STRIP "${line}" line)
      string(REGEX MATCH "^[^ ]+" sub "${line}")
      string(LENGTH "${sub}" length)
      string(SUBSTRING "${line}" ${length} -1 text)
      string(STRIP "${text}" text)
      vek_man_escape("${text}" text)
      vek_man_options("${sub}" options)
      string(APPEND roff ".SS ${sub}\n${text}\n${options}")
    endforeach()
    set(${out} "${roff}" PARENT_SCOPE)
  endfunction()

  file(READ "${TEMPLATE}" template)
  vek_man_lines("${template}" template_lines)
  string(TOUPPER "${NAME}" upper)
  set(page ".TH ${upper} 1 \"\" \"vek_comm2 ${VERSION}\" \"vek_comm2 tools\"\n")
  foreach(line IN LISTS template_lines)
    if(line MATCHES "^@options@$")
      vek_man_options("" roff)
    elseif(line MATCHES "^@options ([^ ]+)@$")
      vek_man_options("${CMAKE_MATCH_1}" roff)
    elseif(line MATCHES "^@subcommands@$")
      vek_man_subcommands(roff)
    elseif(line MATCHES "^@list ([^ :]+): (.+)@$")
      vek_man_list("${CMAKE_MATCH_1}" "${CMAKE_MATCH_2}" roff)
    elseif(line MATCHES "^@list (.+)@$")
      vek_man_list("" "${CMAKE_MATCH_1}" roff)
    elseif(line MATCHES "^@")
      vek_man_fail("unknown directive ${line}")
    else()
      set(roff "${line}\n")
    endif()
    string(APPEND page "${roff}")
  endforeach()
  # The template's last newline made one empty line too many.
  string(REGEX REPLACE "\n\n$" "\n" page "${page}")
  string(REPLACE "${semicolon}" ";" page "${page}")
  string(REPLACE "${open_bracket}" "[" page "${page}")
  string(REPLACE "${close_bracket}" "]" page "${page}")
  string(REPLACE "${backslash}" "\\" page "${page}")
  # Written whole or not at all.
  file(WRITE "${OUT}.tmp" "${page}")
  file(RENAME "${OUT}.tmp" "${OUT}")
  return()
endif()

# vek_tool_man_page(target): the page of target, from target.1.in beside
# the CMakeLists.txt that calls this and from the built program's --help.
# It is written each time the program is linked, so building the tool
# builds its page (and `cmake --install` finds it); an edited template or
# generator links the program again.
function(vek_tool_man_page target)
  set(page ${CMAKE_CURRENT_BINARY_DIR}/${target}.1)
  set(template ${CMAKE_CURRENT_SOURCE_DIR}/${target}.1.in)
  add_custom_command(TARGET ${target} POST_BUILD
                     COMMAND ${CMAKE_COMMAND} -DTOOL=$<TARGET_FILE:${target}> -DNAME=${target}
                             -DVERSION=${PROJECT_VERSION} -DTEMPLATE=${template} -DOUT=${page}
                             -P ${CMAKE_CURRENT_FUNCTION_LIST_FILE}
                     COMMENT "Manual page of ${target}" VERBATIM)
  set_property(TARGET ${target} APPEND PROPERTY LINK_DEPENDS ${template} ${CMAKE_CURRENT_FUNCTION_LIST_FILE})
  install(FILES ${page} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1 COMPONENT runtime)
endfunction()
