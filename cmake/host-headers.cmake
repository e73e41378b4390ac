# The simulator's header-only libraries for a cross-build, taken from the build machine
# (Debian's nlohmann-json3-dev and libasio-dev): the same headers serve every target. Only
# their own folders are linked into one include folder, so that none of the build machine's
# C library headers reach the cross compiler.
find_path(HOST_NLOHMANN_JSON_DIR nlohmann/json.hpp HINTS /usr/include NO_CMAKE_FIND_ROOT_PATH)
find_path(HOST_ASIO_DIR asio.hpp HINTS /usr/include NO_CMAKE_FIND_ROOT_PATH)
if(NOT HOST_NLOHMANN_JSON_DIR OR NOT HOST_ASIO_DIR)
  message(FATAL_ERROR "The cross-build of dln-sim needs the headers of nlohmann-json3-dev and "
                      "libasio-dev on this machine")
endif()
set(HOST_HEADERS ${CMAKE_BINARY_DIR}/host-headers)
file(MAKE_DIRECTORY ${HOST_HEADERS})
file(CREATE_LINK ${HOST_NLOHMANN_JSON_DIR}/nlohmann ${HOST_HEADERS}/nlohmann SYMBOLIC)
file(CREATE_LINK ${HOST_ASIO_DIR}/asio ${HOST_HEADERS}/asio SYMBOLIC)
file(CREATE_LINK ${HOST_ASIO_DIR}/asio.hpp ${HOST_HEADERS}/asio.hpp SYMBOLIC)

add_library(nlohmann_json::nlohmann_json INTERFACE IMPORTED)
target_include_directories(nlohmann_json::nlohmann_json INTERFACE ${HOST_HEADERS})
set(ASIO_INCLUDE_DIR ${HOST_HEADERS})
