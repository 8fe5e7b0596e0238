# cmake -DSOURCE=DIR -DOUTPUT=FILE -DDATE=FILE -DVERSION=X.Y.Z -P Commit.cmake
# Writes the commit the source tree is at into a header for the version blocks
# (ZELM_COMMIT_TEXT; not defined outside a git checkout), and the release's one date
# into DATE as "SECONDS WHEN, WHERE FROM" (seconds since 1970 UTC; cmake/dated.sh gives
# them to the tools that write a date). By the reproducible-builds convention that date
# is SOURCE_DATE_EPOCH when it is set, else the commit's; outside a git checkout it is
# the time of the newest source file, and it says so. A version tag on the commit
# (v1.2.3) must be project()'s version: the tag, the version blocks and the packages
# say one version. Run on every build, it rewrites a file only when its text changes:
# a new commit rebuilds the resource scripts, the type library and the links, nothing else.
function(write_if_changed File Text)
  set(Old "")
  if(EXISTS ${File})
    file(READ ${File} Old)
  endif()
  if(NOT Old STREQUAL Text)
    file(WRITE ${File} "${Text}")
    set(Changed ON PARENT_SCOPE)
  endif()
endfunction()

set(Text "// Not built from a git checkout: no commit in the version block.\n")
set(Epoch "")
set(Say OFF)
find_program(Git git)
if(Git)
  execute_process(COMMAND ${Git} -C ${SOURCE} log -1 --format=%ct%n%h --abbrev=12 HEAD
                  OUTPUT_VARIABLE Log RESULT_VARIABLE Failed OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET)
  if(NOT Failed)
    string(REPLACE "\n" ";" Log "${Log}")
    list(GET Log 0 Epoch)
    list(GET Log 1 Commit)
    # Tracked files changed since that commit: the DLL is not quite that commit.
    execute_process(COMMAND ${Git} -C ${SOURCE} status --porcelain --untracked-files=no
                    OUTPUT_VARIABLE Changes OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET)
    if(Changes)
      string(APPEND Commit " with local changes")
    endif()
    set(Text "#define ZELM_COMMIT_TEXT \"commit ${Commit}\"\n")
    execute_process(COMMAND ${Git} -C ${SOURCE} tag --points-at HEAD --list "v[0-9]*"
                    OUTPUT_VARIABLE Tags OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET)
    string(REPLACE "\n" ";" Tags "${Tags}")
    foreach(Tag IN LISTS Tags)
      if(NOT Tag STREQUAL "v${VERSION}")
        message(FATAL_ERROR "The commit is tagged ${Tag}, but project() in CMakeLists.txt sets version "
                "${VERSION}: the packages and the version blocks would not say the tag's version. Set that "
                "version in project() and commit it, then tag that commit v<version>.")
      endif()
    endforeach()
  endif()
endif()
write_if_changed(${OUTPUT} "${Text}")

if(DEFINED ENV{SOURCE_DATE_EPOCH})
  set(Epoch "$ENV{SOURCE_DATE_EPOCH}")
  set(From "SOURCE_DATE_EPOCH")
  if(NOT Epoch MATCHES "^[0-9]+$")
    message(FATAL_ERROR "SOURCE_DATE_EPOCH is '${Epoch}': it takes the release's date in seconds since "
            "1970-01-01 00:00:00 UTC (git log -1 --format=%ct gives a commit's).")
  endif()
elseif(NOT Epoch STREQUAL "")
  set(From "the commit's date")
else()
  file(GLOB_RECURSE Sources LIST_DIRECTORIES false ${SOURCE}/CMakeLists.txt ${SOURCE}/README.md ${SOURCE}/cmake/*
       ${SOURCE}/src/* ${SOURCE}/package/* ${SOURCE}/docs/*)
  set(Epoch 0)
  foreach(Source IN LISTS Sources)
    file(TIMESTAMP ${Source} Time "%s" UTC)
    if(Time GREATER Epoch)
      set(Epoch ${Time})
    endif()
  endforeach()
  set(From "the time of the newest source file (no git checkout; SOURCE_DATE_EPOCH sets another)")
  set(Say ON)
endif()
# string(TIMESTAMP) tells the time of SOURCE_DATE_EPOCH when it is set.
set(ENV{SOURCE_DATE_EPOCH} ${Epoch})
string(TIMESTAMP When "%Y-%m-%d %H:%M:%S UTC" UTC)
set(Changed OFF)
write_if_changed(${DATE} "${Epoch} ${When}, ${From}\n")
if(Changed AND Say)
  message(NOTICE "ZelmKvel: not built from a git checkout: the release is dated ${When}, ${From}.")
endif()
