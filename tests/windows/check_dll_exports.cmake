# Compares the DLL's export table ("ordinal name" per line) with EXPECTED and
# checks that it imports system DLLs only. Needs DLL, OBJDUMP, EXPECTED.
execute_process(COMMAND ${OBJDUMP} -p ${DLL} OUTPUT_VARIABLE dump RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "${OBJDUMP} -p ${DLL} failed")
endif()

string(REGEX MATCH "Ordinal Base ([0-9]+)" _ "${dump}")
set(base ${CMAKE_MATCH_1})
if(NOT base STREQUAL "1")
  message(FATAL_ERROR "ordinal base is '${base}', not 1")
endif()

# "[Ordinal/Name Pointer] Table" lists "[index] name", index = ordinal - base.
string(REGEX MATCH "\\[Ordinal/Name Pointer\\] Table\n(([ \t]+\\[ *[0-9]+\\] [^\n]+\n)+)" _ "${dump}")
string(REGEX MATCHALL "\\[ *[0-9]+\\] [^\n]+" entries "${CMAKE_MATCH_1}")
set(actual "")
foreach(entry ${entries})
  string(REGEX MATCH "\\[ *([0-9]+)\\] ([^\n]+)" _ "${entry}")
  math(EXPR ordinal "${CMAKE_MATCH_1} + ${base}")
  string(APPEND actual "${ordinal} ${CMAKE_MATCH_2}\n")
endforeach()

file(READ ${EXPECTED} expected)
if(NOT actual STREQUAL expected)
  message(FATAL_ERROR "export table differs.\nexpected:\n${expected}\nactual:\n${actual}")
endif()

# -static: the C++ runtime and the thread library are inside the DLL.
string(REGEX MATCHALL "DLL Name: [^\n]+" imports "${dump}")
foreach(import ${imports})
  string(REPLACE "DLL Name: " "" name "${import}")
  string(TOLOWER "${name}" name)
  if(NOT name MATCHES "^(kernel32|user32|msvcrt|advapi32|ntdll)\\.dll$")
    message(FATAL_ERROR "imports ${name}, which is not a system DLL")
  endif()
endforeach()
message(STATUS "export table: ${entries}")
