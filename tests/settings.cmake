pemberlux_test(test_settings SOURCES app/TestSettingsFile.cpp app/TestModels.cpp)
