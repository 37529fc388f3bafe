# Every picture the README shows must be in the repository, or a clone shows
# a broken image.
#   cmake -DSOURCE_DIR=... -DGIT=... -P readme_pictures.cmake
# Outside a git checkout (a source tarball) there is nothing to ask: skipped.
if(NOT GIT)
  message("SKIPPED: git is not installed")
  return()
endif()
execute_process(COMMAND ${GIT} -C ${SOURCE_DIR} rev-parse --is-inside-work-tree
                RESULT_VARIABLE status OUTPUT_QUIET ERROR_QUIET)
if(NOT status EQUAL 0)
  message("SKIPPED: ${SOURCE_DIR} is not a git checkout")
  return()
endif()
file(READ ${SOURCE_DIR}/README.md text)
string(REGEX MATCHALL "!\\[[^]]*\\]\\([^)]*\\)" links "${text}")
if(NOT links)
  message(FATAL_ERROR "README.md shows no picture at all: is the pattern still right?")
endif()
set(missing "")
foreach(link IN LISTS links)
  string(REGEX REPLACE "^!\\[[^]]*\\]\\(([^)]*)\\)$" "\\1" path "${link}")
  execute_process(COMMAND ${GIT} -C ${SOURCE_DIR} ls-files --error-unmatch -- ${path}
                  RESULT_VARIABLE status OUTPUT_QUIET ERROR_QUIET)
  if(NOT status EQUAL 0 OR NOT EXISTS ${SOURCE_DIR}/${path})
    list(APPEND missing ${path})
  endif()
endforeach()
if(missing)
  list(JOIN missing ", " missing)
  message(FATAL_ERROR "README.md shows pictures that git does not track: ${missing}")
endif()
