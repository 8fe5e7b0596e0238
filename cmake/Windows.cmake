# Windows half, cross-built with MinGW-w64 i686: the DLL, the programs that ship beside
# it, the workbench's programs, the tests under Wine and the Wine benchmark.
set(ZELM_WINEPREFIX "${CMAKE_BINARY_DIR}/../wineprefix" CACHE PATH "Wine prefix of the tests")
# Every prefix of the build is a copy of one template (scripts/wine-prefix.sh).
set(ZELM_WINE_TEMPLATE "${CMAKE_BINARY_DIR}/../wine-template" CACHE PATH "The Wine prefix that prefixes are copied from")
set(ZELM_WINE_RUN env ZELM_WINEPREFIX=${ZELM_WINEPREFIX} ZELM_WINE_TEMPLATE=${ZELM_WINE_TEMPLATE}
    ${CMAKE_CURRENT_SOURCE_DIR}/scripts/wine-run.sh)
set(CMAKE_CROSSCOMPILING_EMULATOR ${ZELM_WINE_RUN})
# The release packages (cmake/Package.cmake): the zip and the Windows Installer
# package, and the folder they are made of.
set(ZELM_DIST_DIR "${CMAKE_BINARY_DIR}/../dist" CACHE PATH "Where the release package is made")
cmake_path(ABSOLUTE_PATH ZELM_DIST_DIR NORMALIZE OUTPUT_VARIABLE ZELM_DIST_DIR)
set(ZELM_DIST_FOLDER ${ZELM_DIST_DIR}/ZelmKvel-${PROJECT_VERSION})
set(ZELM_ZIP ${ZELM_DIST_FOLDER}.zip)
set(ZELM_MSI ${ZELM_DIST_FOLDER}.msi)
set(ZELM_RELEASE_SUMS ${ZELM_DIST_FOLDER}-SHA256SUMS.txt)

# GCC 12 at -O3 reports a false -Wrestrict inside libstdc++'s string copy (GCC bug
# 105329); -O2 is as fast for a DLL that spends its time in COM and window messages.
string(REPLACE "-O3" "-O2" CMAKE_CXX_FLAGS_RELEASE "${CMAKE_CXX_FLAGS_RELEASE}")
string(REPLACE "-O3" "-O2" CMAKE_C_FLAGS_RELEASE "${CMAKE_C_FLAGS_RELEASE}")

# Car PCs still run Windows XP: nothing newer is used. Unicode API throughout. Some of
# their processors lack SSE2 (and SSE): the i686 instruction set, the x87 for floats.
add_compile_definitions(_WIN32_WINNT=0x0501 WINVER=0x0501 UNICODE _UNICODE)
add_compile_options(-march=i686 -mfpmath=387)

# zelm_posix_threads(): the targets made after it in the calling folder are built with
# the posix thread model (GoogleTest's std::mutex); the shipped ones keep win32.
macro(zelm_posix_threads)
  foreach(lang C CXX)
    set(CMAKE_${lang}_COMPILER_LAUNCHER ${ZELM_ROOT}/cmake/posix-threads.sh)
    set(CMAKE_${lang}_LINKER_LAUNCHER ${ZELM_ROOT}/cmake/posix-threads.sh)
  endforeach()
endmacro()

# Windows programs carry their runtime with them: a car PC has no MinGW DLLs.
add_link_options(-static -static-libgcc -static-libstdc++)
# The same commit gives the same bytes wherever it is built: no path of this machine
# goes into an object (__FILE__ names a file from the checkout's root).
add_compile_options(-ffile-prefix-map=${ZELM_ROOT}/=)

zelm_core_library(zelmcore)

set(ZELM_GENERATED ${CMAKE_BINARY_DIR}/generated)
configure_file(src/win/server/ZelmKvelVersion.h.in ${ZELM_GENERATED}/ZelmKvelVersion.h @ONLY)
# The commit and the release's one date, looked at on every build (cmake/Commit.cmake
# touches each file only when it changes); only the resource scripts include the commit.
set(ZELM_SOURCE_DATE ${ZELM_GENERATED}/SourceDate.txt)
add_custom_target(zelm_commit
  COMMAND ${CMAKE_COMMAND} -DSOURCE=${ZELM_ROOT} -DOUTPUT=${ZELM_GENERATED}/ZelmKvelCommit.h
          -DDATE=${ZELM_SOURCE_DATE} -DVERSION=${PROJECT_VERSION} -P ${ZELM_ROOT}/cmake/Commit.cmake
  BYPRODUCTS ${ZELM_GENERATED}/ZelmKvelCommit.h ${ZELM_SOURCE_DATE}
  VERBATIM)
# What writes a date into what ships (the links' time stamps, the type library, the
# packages) takes that date instead of the clock's (cmake/dated.sh); the test programs
# link with a launcher of their own (zelm_posix_threads).
set(ZELM_DATED ${ZELM_ROOT}/cmake/dated.sh ${ZELM_SOURCE_DATE})
set(CMAKE_C_LINKER_LAUNCHER ${ZELM_DATED})
set(CMAKE_CXX_LINKER_LAUNCHER ${ZELM_DATED})

# --- Type library: ZelmKvel.idl -> ZelmKvel.tlb, ZelmKvel_TLB.h, ZelmKvel_TLB_i.c -------
# widl reads Wine's IDL files (MinGW ships none) and the 32-bit stdole2.tlb to import.
find_program(ZELM_WIDL NAMES i686-w64-mingw32-widl widl REQUIRED)
find_path(ZELM_WINE_IDL_DIR oaidl.idl PATHS /usr/include/wine/wine/windows NO_CMAKE_FIND_ROOT_PATH
          NO_DEFAULT_PATH REQUIRED)
find_path(ZELM_STDOLE2_DIR stdole2.tlb PATHS /usr/lib/i386-linux-gnu/wine/i386-windows
          NO_CMAKE_FIND_ROOT_PATH NO_DEFAULT_PATH REQUIRED)

set(ZELM_IDL ${CMAKE_CURRENT_SOURCE_DIR}/src/win/server/ZelmKvel.idl)
# The type library carries its date (the release's); a new one leaves the header and
# the GUIDs as they were, so that only the library's users are made again.
set(ZELM_WIDL_OUT ${ZELM_GENERATED}/widl)
add_custom_command(
  OUTPUT ${ZELM_GENERATED}/ZelmKvel.tlb ${ZELM_GENERATED}/ZelmKvel_TLB.h ${ZELM_GENERATED}/ZelmKvel_TLB_i.c
  COMMAND ${CMAKE_COMMAND} -E make_directory ${ZELM_WIDL_OUT}
  COMMAND ${ZELM_DATED} ${ZELM_WIDL} -m32 -I${ZELM_WINE_IDL_DIR} -L${ZELM_STDOLE2_DIR}
          -t -T ${ZELM_GENERATED}/ZelmKvel.tlb
          -h -H ${ZELM_WIDL_OUT}/ZelmKvel_TLB.h
          -u -U ${ZELM_WIDL_OUT}/ZelmKvel_TLB_i.c
          ${ZELM_IDL}
  COMMAND ${CMAKE_COMMAND} -E copy_if_different ${ZELM_WIDL_OUT}/ZelmKvel_TLB.h ${ZELM_WIDL_OUT}/ZelmKvel_TLB_i.c
          ${ZELM_GENERATED}
  # The interface description and the compiled library, for host and skin developers.
  COMMAND ${CMAKE_COMMAND} -E copy ${ZELM_GENERATED}/ZelmKvel.tlb ${CMAKE_BINARY_DIR}/ZelmKvel.tlb
  COMMAND ${CMAKE_COMMAND} -E copy ${ZELM_IDL} ${CMAKE_BINARY_DIR}/ZelmKvel.idl
  DEPENDS ${ZELM_IDL} ${ZELM_SOURCE_DATE}
  COMMENT "widl ZelmKvel.idl"
  VERBATIM)

# The GUIDs (LIBID, IID, CLSID) and the interface declarations, for the DLL and for
# the test clients.
add_library(zelmtlb STATIC ${ZELM_GENERATED}/ZelmKvel_TLB_i.c ${ZELM_GENERATED}/ZelmKvel_TLB.h)
target_include_directories(zelmtlb PUBLIC ${ZELM_GENERATED})
target_link_libraries(zelmtlb PUBLIC ole32 oleaut32 uuid)

# --- The DLL ---------------------------------------------------------------------------
add_library(ZelmKvel SHARED
  src/win/server/Server.cpp
  src/win/server/ClassFactory.cpp
  src/win/server/Registration.cpp
  src/win/server/Runtime.cpp
  src/win/server/ZelmKvel.def
  src/win/server/ZelmKvel.rc
  src/win/extension/RRExtension.cpp
  src/win/host/DispatchHost.cpp
  src/win/window/MessageWindow.cpp
  src/win/platform/WindowsText.cpp)
set_target_properties(ZelmKvel PROPERTIES PREFIX "" OUTPUT_NAME ZelmKvel
                      RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR})
target_include_directories(ZelmKvel PRIVATE ${CMAKE_CURRENT_SOURCE_DIR}/src ${ZELM_GENERATED})
target_link_libraries(ZelmKvel PRIVATE zelmcore zelmtlb user32 advapi32)
# The .def names the four exports undecorated, by ordinal.
target_link_options(ZelmKvel PRIVATE -Wl,--enable-stdcall-fixup)
add_dependencies(ZelmKvel zelm_commit)
set_property(TARGET ZelmKvel APPEND PROPERTY LINK_DEPENDS ${ZELM_SOURCE_DATE})
set_source_files_properties(src/win/server/ZelmKvel.rc PROPERTIES
  OBJECT_DEPENDS "${ZELM_GENERATED}/ZelmKvel.tlb;${ZELM_GENERATED}/ZelmKvelCommit.h")
install(TARGETS ZelmKvel RUNTIME DESTINATION .)
install(FILES ${ZELM_GENERATED}/ZelmKvel.tlb ${ZELM_IDL} DESTINATION .)

# --- Tests under Wine ------------------------------------------------------------------
# The Wine tests share one prefix: one registry and one desktop, on which FindWindowW
# finds any "Morvicantrel" window of any test process. They take turns on this lock.
set(ZELM_WINE_LOCK zelm_wine_desktop)

# zelm_wine_test(name [OWN_DESKTOP] sources...): a GoogleTest program beside the DLL
# (its main runs the tests on a single-threaded apartment, with OWN_DESKTOP on a desktop
# of its own where it meets the stand-in data server; support/wine has the COM helpers
# and a scripted host object), run under Wine as one CTest test named wine_<name>,
# holding the Wine lock. Add properties with set_property(TEST wine_<name> APPEND ...).
function(zelm_wine_test name)
  cmake_parse_arguments(PARSE_ARGV 1 ZELM_TEST "OWN_DESKTOP" "" "")
  set(main WineTestMain.cpp)
  if(ZELM_TEST_OWN_DESKTOP)
    set(main OwnDesktopMain.cpp)
  endif()
  add_executable(${name} ${ZELM_ROOT}/tests/wine/${main} ${ZELM_TEST_UNPARSED_ARGUMENTS})
  set_target_properties(${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR})
  target_link_libraries(${name} PRIVATE zelm_wine_support)
  add_dependencies(${name} ZelmKvel)
  add_test(NAME wine_${name} COMMAND ${name} WORKING_DIRECTORY ${CMAKE_BINARY_DIR})
  set_tests_properties(wine_${name} PROPERTIES TIMEOUT 120 RESOURCE_LOCK ${ZELM_WINE_LOCK})
endfunction()

# The shipped programs (demo data server, check tool) and the workbench (stand-in
# front-end, the workbench's data server) have their own lists; the Wine tests share the
# shipped data server's window, front-end object and client, built again with their
# thread model.
add_subdirectory(src/programs)
add_subdirectory(workbench)

# The support the Wine tests share with the Wine bench: GoogleTest, the COM helpers, the
# scripted host object and the stand-in data server.
add_subdirectory(tests/support/wine)

add_subdirectory(tests/wine)

# The Wine label bench (on the Wine support and its stand-in data server).
add_subdirectory(bench/wine)

include(cmake/Package.cmake)
