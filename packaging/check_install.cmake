# cmake -DBUILD_DIR=... -DPREFIX=... -DVERSION=... -DMAN_PAGES=ON|OFF -P check_install.cmake
file(REMOVE_RECURSE ${PREFIX})
execute_process(COMMAND ${CMAKE_COMMAND} --install ${BUILD_DIR} --prefix ${PREFIX}
                RESULT_VARIABLE status OUTPUT_QUIET)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "cmake --install failed: ${status}")
endif()
set(paths bin/vantrel bin/vantrel-trace share/applications/vantrel.desktop
          share/icons/hicolor/scalable/apps/vantrel.svg share/doc/vantrel/README.md
          share/doc/vantrel/copyright share/doc/vantrel/changelog.Debian.gz)
if(MAN_PAGES)
  list(APPEND paths share/man/man1/vantrel.1.gz share/man/man1/vantrel-trace.1.gz)
endif()
foreach(path ${paths})
  if(NOT EXISTS ${PREFIX}/${path})
    message(FATAL_ERROR "not installed: ${path}")
  endif()
endforeach()
find_program(VALIDATE desktop-file-validate REQUIRED)
execute_process(COMMAND ${VALIDATE} ${PREFIX}/share/applications/vantrel.desktop
                RESULT_VARIABLE status OUTPUT_VARIABLE out ERROR_VARIABLE out)
if(NOT status EQUAL 0 OR NOT out STREQUAL "")
  message(FATAL_ERROR "desktop entry not valid: ${out}")
endif()
foreach(program vantrel vantrel-trace)
  execute_process(COMMAND ${PREFIX}/bin/${program} --version RESULT_VARIABLE status OUTPUT_VARIABLE out)
  if(NOT status EQUAL 0 OR NOT out STREQUAL "${program} ${VERSION}\n")
    message(FATAL_ERROR "${program} --version: status ${status}, '${out}'")
  endif()
endforeach()
# The firmware checks come out of the installed program, not the source tree.
execute_process(COMMAND ${PREFIX}/bin/vantrel-trace vectors harness --count 1 --out ${PREFIX}/harness
                RESULT_VARIABLE status)
foreach(file pid_vectors_check.c cascade_vectors_check.c README.md)
  if(NOT status EQUAL 0 OR NOT EXISTS ${PREFIX}/harness/${file})
    message(FATAL_ERROR "vectors harness from the installed program: status ${status}, no ${file}")
  endif()
endforeach()
# Making the package afterwards leaves the list of what was installed alone.
file(READ ${BUILD_DIR}/install_manifest.txt manifest)
execute_process(COMMAND ${CMAKE_CPACK_COMMAND} --config ${BUILD_DIR}/CPackConfig.cmake -G DEB -B ${PREFIX}/package
                RESULT_VARIABLE status OUTPUT_QUIET)
file(READ ${BUILD_DIR}/install_manifest.txt after)
if(NOT status EQUAL 0 OR NOT after STREQUAL manifest OR NOT manifest MATCHES "${PREFIX}/bin/vantrel-trace")
  message(FATAL_ERROR "cpack (status ${status}) changed install_manifest.txt of cmake --install")
endif()
file(REMOVE_RECURSE ${PREFIX})
