pemberlux_test(test_texts SOURCES texts/TestUiText.cpp)
