# The recording adapter library: the same C interface as dln, forwarding every call to the
# real adapter library and writing each call to a recording file. A second libdln.so (in
# lib/record) or dln.dll (in bin/record), to be put where the program would find dln.
set(DLN_RECORD_FORMAT_SOURCES dln/record/format/call_record.cpp dln/protocol/wire.cpp)
if(WIN32)
  set(DLN_RECORD_TARGET_SOURCE dln/record/target_win32.cpp)
else()
  set(DLN_RECORD_TARGET_SOURCE dln/record/target_posix.cpp)
endif()
add_library(dln_record SHARED dln/record/api.cpp dln/record/recorder.cpp dln/record/target.cpp
                              ${DLN_RECORD_TARGET_SOURCE} ${DLN_RECORD_FORMAT_SOURCES})
target_include_directories(dln_record PRIVATE dln/include dln/protocol dln/record
                                              dln/record/format)
target_compile_definitions(dln_record PRIVATE DLN_BUILDING_LIBRARY)
target_link_libraries(dln_record PRIVATE Threads::Threads ${CMAKE_DL_LIBS})
set_target_properties(dln_record PROPERTIES OUTPUT_NAME dln CXX_VISIBILITY_PRESET hidden
                                            VISIBILITY_INLINES_HIDDEN ON)
if(WIN32)
  set_target_properties(dln_record PROPERTIES PREFIX "" RUNTIME_OUTPUT_DIRECTORY
                                                        ${CMAKE_BINARY_DIR}/bin/record
                        ARCHIVE_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/record)
else()
  set_target_properties(dln_record PROPERTIES LIBRARY_OUTPUT_DIRECTORY ${I2C_DLN_LIBDIR}/record
                                              LINK_DEPENDS ${CMAKE_SOURCE_DIR}/dln/dln.map)
  # nodelete: the thread that flushes the recording runs our code until the process ends.
  # -Bsymbolic: our own references to Dln* (the check that the target is not us) mean ours.
  target_link_options(dln_record PRIVATE -Wl,--version-script=${CMAKE_SOURCE_DIR}/dln/dln.map -Wl,-Bsymbolic
                      -Wl,--no-undefined -Wl,-z,nodelete)
endif()

# The recording's line format, for the readers of recordings in the simulator.
if(I2C_DLN_WITH_SIM)
  add_library(dln_record_format STATIC dln/record/format/call_record.cpp)
  target_include_directories(dln_record_format PUBLIC dln/record/format)
  target_link_libraries(dln_record_format PUBLIC dln_protocol)
  set_target_properties(dln_record_format PROPERTIES POSITION_INDEPENDENT_CODE ON)
endif()
