# Writes the enum StringId from the string table: one enumerator per row of
# strings.def, named by its name column and holding its number, with the
# English text as a comment.
#
#   cmake -DINPUT=res/strings.def -DOUTPUT=<build>/generated/core/base/StringId.h -P GenerateStringIds.cmake
#
# A row without a name, a name or number given twice, or a line that starts a
# row but does not read as one stops the build.
cmake_policy(VERSION 3.25)

if(NOT INPUT OR NOT OUTPUT)
  message(FATAL_ERROR "GenerateStringIds.cmake needs -DINPUT=<strings.def> -DOUTPUT=<header>")
endif()

file(STRINGS "${INPUT}" lines ENCODING UTF-8)
set(body "")
set(names "")
set(numbers "")
set(count 0)
foreach(line IN LISTS lines)
  if(NOT line MATCHES "^UI_STRING\\(")
    continue()
  endif()
  if(NOT line MATCHES "^UI_STRING\\(([0-9]+), ([A-Z][A-Za-z0-9]*), \"(([^\"\\\\]|\\\\.)*)\"")
    message(FATAL_ERROR "${INPUT}: a row that does not read as UI_STRING(id, Name, \"English\", ...):\n${line}")
  endif()
  set(number ${CMAKE_MATCH_1})
  set(name ${CMAKE_MATCH_2})
  set(english "${CMAKE_MATCH_3}")
  if(name IN_LIST names)
    message(FATAL_ERROR "${INPUT}: the name ${name} is given twice")
  endif()
  if(number IN_LIST numbers)
    message(FATAL_ERROR "${INPUT}: the id ${number} is given twice")
  endif()
  list(APPEND names ${name})
  list(APPEND numbers ${number})
  math(EXPR count "${count} + 1")
  # The comment is one line: escaped line breaks read as blanks, long texts are cut.
  string(REPLACE "\\n" " " english "${english}")
  string(LENGTH "${english}" length)
  if(length GREATER 72)
    string(SUBSTRING "${english}" 0 69 english)
    string(APPEND english "...")
  endif()
  string(APPEND body "    ${name} = ${number}, // \"${english}\"\n")
endforeach()
if(count EQUAL 0)
  message(FATAL_ERROR "${INPUT}: no rows")
endif()

set(text "// Written by the build from res/strings.def (cmake/GenerateStringIds.cmake): do not edit.
// The names of the string table's ids; LoadUiString(StringId) gives the text.
#pragma once

namespace pemberlux {

enum class StringId : int {
${body}};

// How many ids the table has.
inline constexpr int STRING_ID_COUNT = ${count};

} // namespace pemberlux
")
# Rewritten only when it changed, so a touched strings.def rebuilds only the texts.
if(EXISTS "${OUTPUT}")
  file(READ "${OUTPUT}" old)
  if(old STREQUAL text)
    return()
  endif()
endif()
file(WRITE "${OUTPUT}" "${text}")
