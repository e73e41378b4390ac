# Replay of recordings made by the recording adapter library: reading them and answering a
# server's requests from them (dln-sim --replay), and seeding a scenario from one.
file(GLOB DLNSIM_REPLAY_SOURCES CONFIGURE_DEPENDS sim/replay/*.cpp)
add_library(dlnsim_replay STATIC ${DLNSIM_REPLAY_SOURCES})
target_include_directories(dlnsim_replay PUBLIC sim/replay)
target_link_libraries(dlnsim_replay PUBLIC dlnsim_core dln_record_format dln_protocol
                                           nlohmann_json::nlohmann_json)
# One compile unit, like the simulator core: nlohmann/json dominates its build time.
set_target_properties(dlnsim_replay PROPERTIES POSITION_INDEPENDENT_CODE ON UNITY_BUILD ON
                                               UNITY_BUILD_BATCH_SIZE 8)

# dln-sim --replay answers through the same server as the simulator.
target_link_libraries(dln-sim PRIVATE dlnsim_replay)

add_executable(dln-seed-scenario sim/seed/main.cpp)
target_link_libraries(dln-seed-scenario PRIVATE dlnsim_replay)
