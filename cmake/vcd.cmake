# Waveforms of the bus (Value Change Dump): dln-sim --vcd, the live page's download, and
# dln-vcd, which draws a saved trace or a recording.
file(GLOB DLNSIM_VCD_SOURCES CONFIGURE_DEPENDS sim/vcd/*.cpp)
add_library(dlnsim_vcd STATIC ${DLNSIM_VCD_SOURCES})
target_include_directories(dlnsim_vcd PRIVATE sim/vcd)
target_link_libraries(dlnsim_vcd PUBLIC dlnsim_core)
set_target_properties(dlnsim_vcd PROPERTIES POSITION_INDEPENDENT_CODE ON)
target_link_libraries(dln-sim PRIVATE dlnsim_vcd)
if(TARGET dlnsim_http)
  target_link_libraries(dlnsim_http PUBLIC dlnsim_vcd)
endif()

file(GLOB DLN_VCD_SOURCES CONFIGURE_DEPENDS sim/vcd-tool/*.cpp)
add_executable(dln-vcd ${DLN_VCD_SOURCES})
target_include_directories(dln-vcd PRIVATE sim/vcd-tool)
target_link_libraries(dln-vcd PRIVATE dlnsim_vcd dlnsim_replay)
