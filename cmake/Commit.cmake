# cmake -DSOURCE=DIR -DOUTPUT=FILE -P Commit.cmake
# Writes the commit the source tree is at into a header for the DLL's version block
# (ZELM_COMMIT_TEXT; not defined outside a git checkout). Run on every build, it
# rewrites the header only when the text changes: a new commit rebuilds the resource
# script and relinks the DLL, nothing else.
set(Text "// Not built from a git checkout: no commit in the version block.\n")
find_program(Git git)
if(Git)
  execute_process(COMMAND ${Git} -C ${SOURCE} rev-parse --short=12 HEAD
                  OUTPUT_VARIABLE Commit RESULT_VARIABLE Failed OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET)
  if(NOT Failed)
    # Tracked files changed since that commit: the DLL is not quite that commit.
    execute_process(COMMAND ${Git} -C ${SOURCE} status --porcelain --untracked-files=no
                    OUTPUT_VARIABLE Changes OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET)
    if(Changes)
      string(APPEND Commit " with local changes")
    endif()
    set(Text "#define ZELM_COMMIT_TEXT \"commit ${Commit}\"\n")
  endif()
endif()

set(Old "")
if(EXISTS ${OUTPUT})
  file(READ ${OUTPUT} Old)
endif()
if(NOT Old STREQUAL Text)
  file(WRITE ${OUTPUT} "${Text}")
endif()
