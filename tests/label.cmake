pemberlux_test(test_label SOURCES
  label/TestLabelFrames.cpp
  label/TestLabelReplies.cpp
  label/TestLabelSettings.cpp
  label/TestLabelPrinterSim.cpp
  label/TestLabelEndToEnd.cpp
)
