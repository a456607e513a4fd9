pemberlux_test(test_include_rules SOURCES house/TestIncludeRules.cpp)
target_compile_definitions(test_include_rules PRIVATE PEMBERLUX_SOURCE_DIR="${CMAKE_SOURCE_DIR}")
