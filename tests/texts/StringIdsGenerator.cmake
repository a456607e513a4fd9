# Runs the string-id generator on small tables: a good one must give the enum,
# each bad one must stop with an error and write nothing.
#   cmake -DGENERATOR=<GenerateStringIds.cmake> -DWORK=<scratch folder> -P StringIdsGenerator.cmake
cmake_policy(VERSION 3.25)
file(REMOVE_RECURSE "${WORK}")
file(MAKE_DIRECTORY "${WORK}")

function(generate name table result_var)
  file(WRITE "${WORK}/${name}.def" "${table}")
  execute_process(
    COMMAND ${CMAKE_COMMAND} -DINPUT=${WORK}/${name}.def -DOUTPUT=${WORK}/${name}.h -P ${GENERATOR}
    RESULT_VARIABLE rc OUTPUT_QUIET ERROR_QUIET)
  set(${result_var} ${rc} PARENT_SCOPE)
endfunction()

generate(good [=[
// a comment line
UI_STRING(101, AboutMenu, "About(&A)...", "关于")
UI_STRING(216, FileMissing, "File -\"a.qv\" is missing !", "“a.qv”文件缺失!")
]=] rc)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "a good table was refused")
endif()
file(READ "${WORK}/good.h" header)
foreach(expected
    "enum class StringId : int {"
    "    AboutMenu = 101, // \"About(&A)...\"\n"
    "    FileMissing = 216, // \"File -\\\"a.qv\\\" is missing !\"\n"
    "STRING_ID_COUNT = 2;")
  string(FIND "${header}" "${expected}" at)
  if(at EQUAL -1)
    message(FATAL_ERROR "the header lacks '${expected}':\n${header}")
  endif()
endforeach()

set(bad_tables
  "UI_STRING(101, \"About\", \"关于\")\n"
  "UI_STRING(101, About, \"About\", \"关于\")\nUI_STRING(102, About, \"Other\", \"其他\")\n"
  "UI_STRING(101, About, \"About\", \"关于\")\nUI_STRING(101, Other, \"Other\", \"其他\")\n"
  "// nothing but a comment\n")
set(n 0)
foreach(table IN LISTS bad_tables)
  math(EXPR n "${n} + 1")
  generate(bad${n} "${table}" rc)
  if(rc EQUAL 0 OR EXISTS "${WORK}/bad${n}.h")
    message(FATAL_ERROR "a bad table was taken:\n${table}")
  endif()
endforeach()
