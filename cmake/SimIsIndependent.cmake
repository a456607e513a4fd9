# The simulator is the program's peer, not its copy: it must not use the
# program's frame, datagram, record or image code, or a misreading would be
# shared by both sides and every exchange test would pass. Every header under
# src/ is shadowed by one that stops the build, searched before src/ when the
# simulator is compiled. A plain transport helper the simulator may share goes
# into PEMBERLUX_SIM_SHARED_HEADERS (path below src/).
set(PEMBERLUX_SIM_SHARED_HEADERS "")
set(PEMBERLUX_SIM_GUARD_DIR ${CMAKE_BINARY_DIR}/sim-guard CACHE INTERNAL "shadow headers of the simulator's build")

file(REMOVE_RECURSE ${PEMBERLUX_SIM_GUARD_DIR})
file(GLOB_RECURSE _program_headers CONFIGURE_DEPENDS RELATIVE ${CMAKE_SOURCE_DIR}/src ${CMAKE_SOURCE_DIR}/src/*.h)
foreach(header IN LISTS _program_headers)
  if(NOT header IN_LIST PEMBERLUX_SIM_SHARED_HEADERS)
    file(WRITE ${PEMBERLUX_SIM_GUARD_DIR}/${header}
      "// Searched before src/ when the simulator is compiled.\n"
      "#error \"the simulator must not use the program's ${header}: write its own from the protocol description\"\n")
  endif()
endforeach()

# A path to src/ written out would pass the shadow headers; it stops the configure.
file(GLOB _sim_files CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/sim/*.h ${CMAKE_SOURCE_DIR}/sim/*.cpp)
foreach(file IN LISTS _sim_files)
  file(STRINGS ${file} _direct REGEX "^[ \t]*#[ \t]*include[ \t]*[<\"][^>\"]*src/")
  if(_direct)
    message(FATAL_ERROR "${file} includes the program's sources (${_direct}); the simulator keeps its own")
  endif()
endforeach()

function(pemberlux_sim_guard target)
  target_include_directories(${target} BEFORE PRIVATE ${PEMBERLUX_SIM_GUARD_DIR})
endfunction()
