# Key-value configuration protocol: wire format and reader, exchanges against
# simulated printers on ports the tests choose, and one run on the protocol's own port.
pemberlux_test(test_kvproto_format SOURCES network/TestKvFormat.cpp)
pemberlux_test(test_kvproto_exchange SOURCES network/TestKvExchange.cpp network/TestKvSimCommand.cpp network/TestKvClient.cpp)
if(TARGET pemberlux-sim)
  target_compile_definitions(test_kvproto_exchange PRIVATE PEMBERLUX_SIM_BINARY="$<TARGET_FILE:pemberlux-sim>")
  add_dependencies(test_kvproto_exchange pemberlux-sim)
endif()
pemberlux_test(test_kvproto_port SOURCES network/TestKvDefaultPort.cpp LOCKS udp22094)
