pemberlux_test(test_texts SOURCES texts/TestUiText.cpp)

# The build's writer of the string ids: a good table gives the enum, bad ones stop the build.
add_test(NAME string_ids_generator
  COMMAND ${CMAKE_COMMAND} -DGENERATOR=${CMAKE_SOURCE_DIR}/cmake/GenerateStringIds.cmake
          -DWORK=${CMAKE_CURRENT_BINARY_DIR}/string_ids_generator
          -P ${CMAKE_CURRENT_SOURCE_DIR}/texts/StringIdsGenerator.cmake)
