# The bench's portable parts, built natively (for the tests) and for Windows (for the
# programs): one list for both.
set(ZELM_BENCH_SOURCES
  ${CMAKE_CURRENT_LIST_DIR}/common/Utf.cpp
  ${CMAKE_CURRENT_LIST_DIR}/common/CommandLine.cpp
  ${CMAKE_CURRENT_LIST_DIR}/common/DriveLog.cpp
  ${CMAKE_CURRENT_LIST_DIR}/common/SkinCodes.cpp
  ${CMAKE_CURRENT_LIST_DIR}/common/Sha256.cpp
  ${CMAKE_CURRENT_LIST_DIR}/check/CheckReport.cpp
  ${CMAKE_CURRENT_LIST_DIR}/sim/VehicleModel.cpp
  ${CMAKE_CURRENT_LIST_DIR}/sim/SimServer.cpp
  ${CMAKE_CURRENT_LIST_DIR}/sim/SimOptions.cpp
  ${CMAKE_CURRENT_LIST_DIR}/sim/DriveReplay.cpp
  ${CMAKE_CURRENT_LIST_DIR}/host/SkinFile.cpp
  ${CMAKE_CURRENT_LIST_DIR}/host/HostVariables.cpp
  ${CMAKE_CURRENT_LIST_DIR}/host/Dashboard.cpp
  ${CMAKE_CURRENT_LIST_DIR}/host/Options.cpp
  ${CMAKE_CURRENT_LIST_DIR}/host/SkinCheck.cpp
  ${CMAKE_CURRENT_LIST_DIR}/host/Recorder.cpp)
