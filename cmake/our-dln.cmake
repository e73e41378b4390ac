# Our adapter library, dln: the C interface over TCP to a DLN server such as dln-sim.
# libdln.so on Linux, dln.dll on Windows.

# The wire protocol between dln and the simulator.
file(GLOB DLN_PROTOCOL_SOURCES CONFIGURE_DEPENDS dln/protocol/*.cpp)
add_library(dln_protocol STATIC ${DLN_PROTOCOL_SOURCES})
target_include_directories(dln_protocol PUBLIC dln/include dln/protocol)
set_target_properties(dln_protocol PROPERTIES POSITION_INDEPENDENT_CODE ON
                                              CXX_VISIBILITY_PRESET hidden)

file(GLOB DLN_CLIENT_SOURCES CONFIGURE_DEPENDS dln/client/*.cpp)
# The socket loops (socket.cpp) over single attempts of one file per platform.
set(DLN_TCP_SOURCES dln/tcp/tcp_transport.cpp dln/tcp/server_address.cpp dln/tcp/socket.cpp)
if(WIN32)
  list(APPEND DLN_TCP_SOURCES dln/tcp/socket_win32.cpp)
else()
  list(APPEND DLN_TCP_SOURCES dln/tcp/socket_posix.cpp)
endif()
add_library(dln SHARED ${DLN_CLIENT_SOURCES} ${DLN_TCP_SOURCES})
target_include_directories(dln PUBLIC dln/include PRIVATE dln/client dln/tcp)
target_compile_definitions(dln PRIVATE DLN_BUILDING_LIBRARY)
target_link_libraries(dln PRIVATE dln_protocol Threads::Threads)
set_target_properties(dln PROPERTIES CXX_VISIBILITY_PRESET hidden VISIBILITY_INLINES_HIDDEN ON)
if(WIN32)
  # dln.dll, as the maker's library is named; DLN_API marks the only exports.
  target_link_libraries(dln PRIVATE ws2_32)
  set_target_properties(dln PROPERTIES PREFIX "")
else()
  # No VERSION/SOVERSION: the SONAME is plain libdln.so, as the maker's library is named.
  set_target_properties(dln PROPERTIES LINK_DEPENDS ${CMAKE_SOURCE_DIR}/dln/dln.map)
  # nodelete: a lingering connection's closer thread runs our code until the process ends.
  target_link_options(dln PRIVATE -Wl,--version-script=${CMAKE_SOURCE_DIR}/dln/dln.map
                      -Wl,--no-undefined -Wl,-z,nodelete)
endif()
