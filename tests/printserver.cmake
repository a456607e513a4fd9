# Print-server channel: frames and records, then real UDP exchanges with
# simulated print servers on the loopback broadcast. Most cases use a port the
# simulator picks; one uses the default port 1901.
pemberlux_test(test_printserver
  SOURCES network/TestPrintServerFrames.cpp network/TestPrintServerChannel.cpp
  LOCKS udp1901)
