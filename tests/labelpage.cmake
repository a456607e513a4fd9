if(TARGET pemberlux_ui)
  pemberlux_test(test_labelpage
    SOURCES label/TestLabelPage.cpp label/TestLabelPageWorkers.cpp label/TestLabelControls.cpp
    shell/TestSettingsPageProfiles.cpp profile/TestProfileFormat.cpp
    LIBS test_support_qt)
endif()
# The page against the simulator's fault modes, driven by its buttons only.
if(TARGET pemberlux_ui)
  pemberlux_test(test_labelpage_simmodes SOURCES label/TestLabelPageSimModes.cpp LIBS test_support_qt)
endif()
