# The simulator: dln-sim for Linux and Windows, and the in-process backend for the build
# machine's tests.

# The core: virtual adapter, buses, device models, scenarios and their timelines, trace.
file(GLOB DLNSIM_CORE_SOURCES CONFIGURE_DEPENDS sim/core/*.cpp sim/models/*.cpp)
# The default scenario is compiled in, so that dln-sim runs the robot from any directory.
set(DLNSIM_DEFAULT_SCENARIO ${CMAKE_SOURCE_DIR}/sim/scenarios/robot.json)
set(DLNSIM_DEFAULT_SCENARIO_CPP ${CMAKE_BINARY_DIR}/generated/default_scenario.cpp)
add_custom_command(
  OUTPUT ${DLNSIM_DEFAULT_SCENARIO_CPP}
  COMMAND ${CMAKE_COMMAND} -DINPUT=${DLNSIM_DEFAULT_SCENARIO} -DOUTPUT=${DLNSIM_DEFAULT_SCENARIO_CPP}
          -P ${CMAKE_SOURCE_DIR}/sim/scenarios/embed.cmake
  DEPENDS ${DLNSIM_DEFAULT_SCENARIO} ${CMAKE_SOURCE_DIR}/sim/scenarios/embed.cmake
  COMMENT "Embedding the default scenario")
add_library(dlnsim_core STATIC ${DLNSIM_CORE_SOURCES} ${DLNSIM_DEFAULT_SCENARIO_CPP})
# Only sim/include is the simulator's face; its core and models stay private.
target_include_directories(dlnsim_core PUBLIC sim/include PRIVATE sim/core sim/models)
target_link_libraries(dlnsim_core PUBLIC dln_protocol nlohmann_json::nlohmann_json Threads::Threads)
# The server's networking: standalone asio, header-only.
target_include_directories(dlnsim_core PRIVATE ${ASIO_INCLUDE_DIR})
if(WIN32)
  target_link_libraries(dlnsim_core PUBLIC ws2_32 mswsock)
endif()
target_compile_definitions(dlnsim_core PRIVATE DLNSIM_SCENARIO_DIR="${CMAKE_SOURCE_DIR}/sim/scenarios")
# Compiled eight files to a unit: nlohmann/json's templates, instantiated once per unit rather
# than once per file, take most of the simulator's build time (a third of it this way).
set_target_properties(dlnsim_core PROPERTIES POSITION_INDEPENDENT_CODE ON UNITY_BUILD ON
                                             UNITY_BUILD_BATCH_SIZE 8)

# The in-process backend: the simulator offered as a dln, the same C interface reaching a
# simulator in this process. It builds our dln's client over its own transport. Only the
# build machine's tests use it.
if(I2C_DLN_HOST_TESTS)
  file(GLOB DLN_INPROC_SOURCES CONFIGURE_DEPENDS sim/inproc/*.cpp)
  add_library(dln_inproc STATIC ${DLN_CLIENT_SOURCES} ${DLN_INPROC_SOURCES})
  target_include_directories(dln_inproc PUBLIC dln/include sim/inproc/include PRIVATE dln/client)
  target_link_libraries(dln_inproc PUBLIC dlnsim_core)
endif()

file(GLOB DLNSIM_SERVER_SOURCES CONFIGURE_DEPENDS sim/server/*.cpp)
add_executable(dln-sim ${DLNSIM_SERVER_SOURCES})
target_include_directories(dln-sim PRIVATE sim/server ${ASIO_INCLUDE_DIR})
target_link_libraries(dln-sim PRIVATE dlnsim_core)

# The live page (dln-sim --http): cpp-httplib serves it; the page and chart.js are built in.
# Debian's cpp-httplib is a shared library for Linux only, so dln-sim.exe is built without the
# page and refuses --http.
if(NOT WIN32)
  find_package(PkgConfig REQUIRED)
  pkg_check_modules(CPP_HTTPLIB REQUIRED IMPORTED_TARGET cpp-httplib)
  find_file(CHART_JS chart.min.js PATHS /usr/share/javascript/chart.js REQUIRED NO_DEFAULT_PATH)
  set(DLNSIM_WEB_FILES ${CMAKE_SOURCE_DIR}/sim/web/index.html ${CMAKE_SOURCE_DIR}/sim/web/app.js
                       ${CMAKE_SOURCE_DIR}/sim/web/style.css)
  set(DLNSIM_WEB_ASSETS_CPP ${CMAKE_BINARY_DIR}/generated/web_assets.cpp)
  add_custom_command(
    OUTPUT ${DLNSIM_WEB_ASSETS_CPP}
    COMMAND ${CMAKE_COMMAND} -DOUTPUT=${DLNSIM_WEB_ASSETS_CPP}
            "-DASSETS=index.html|text/html|${CMAKE_SOURCE_DIR}/sim/web/index.html,app.js|text/javascript|${CMAKE_SOURCE_DIR}/sim/web/app.js,style.css|text/css|${CMAKE_SOURCE_DIR}/sim/web/style.css,chart.js|text/javascript|${CHART_JS}"
            -P ${CMAKE_SOURCE_DIR}/sim/web/embed.cmake
    DEPENDS ${DLNSIM_WEB_FILES} ${CHART_JS} ${CMAKE_SOURCE_DIR}/sim/web/embed.cmake
    COMMENT "Embedding the live page" VERBATIM)
  # The live state sees the simulator's public face only, so it builds with the page.
  file(GLOB DLNSIM_HTTP_SOURCES CONFIGURE_DEPENDS sim/http/*.cpp sim/live/*.cpp)
  add_library(dlnsim_http STATIC ${DLNSIM_HTTP_SOURCES} ${DLNSIM_WEB_ASSETS_CPP})
  target_include_directories(dlnsim_http PUBLIC sim/http sim/live)
  target_link_libraries(dlnsim_http PUBLIC dlnsim_core PRIVATE PkgConfig::CPP_HTTPLIB)
  target_link_libraries(dln-sim PRIVATE dlnsim_http)
  target_compile_definitions(dln-sim PRIVATE DLNSIM_LIVE_PAGE=1)
endif()
