# The adapter maker's library in place of ours: I2C_DLN links the import library named by
# DLN_VENDOR_LIBRARY (dln.lib) and calls it through our dln_api.h, whose interface it meets.
if(NOT EXISTS "${DLN_VENDOR_LIBRARY}")
  message(FATAL_ERROR "DLN_VENDOR_LIBRARY: no such file: ${DLN_VENDOR_LIBRARY}")
endif()
add_library(dln INTERFACE)
target_include_directories(dln INTERFACE dln/include)
target_link_libraries(dln INTERFACE "${DLN_VENDOR_LIBRARY}")
