# Windows half, cross-built with MinGW-w64 i686: the DLL, its tests under Wine, the
# bench programs and the tools.
set(ZELM_WINEPREFIX "${CMAKE_BINARY_DIR}/../wineprefix" CACHE PATH "Wine prefix of the tests")
set(CMAKE_CROSSCOMPILING_EMULATOR env ZELM_WINEPREFIX=${ZELM_WINEPREFIX}
    ${CMAKE_CURRENT_SOURCE_DIR}/scripts/wine-run.sh)

# Windows programs carry their runtime with them: a car PC has no MinGW DLLs.
add_link_options(-static -static-libgcc -static-libstdc++)

zelm_core_library(zelmcore)

# The bench programs (simulated car, stand-in host) have their own list.
if(EXISTS ${CMAKE_CURRENT_SOURCE_DIR}/tools/CMakeLists.txt)
  add_subdirectory(tools)
endif()
