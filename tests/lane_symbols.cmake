# The lanes' kernel units are built for instruction sets the CPU may lack, so
# they must define nothing the linker could pick for another unit's call (an
# inline function, a template): only their own kernel, everything else local.
# cmake -DNM=nm -DOBJECTS=a.o;b.o -P lane_symbols.cmake
foreach(object ${OBJECTS})
  execute_process(COMMAND ${NM} --defined-only ${object} OUTPUT_VARIABLE symbols RESULT_VARIABLE failed)
  if(failed)
    message(FATAL_ERROR "${NM} failed on ${object}")
  endif()
  string(REGEX MATCHALL "[^\n]+" lines "${symbols}")
  foreach(line ${lines})
    # (AddressSanitizer adds a __odr_asan. twin of the kernel.)
    if(NOT line MATCHES " [a-zBD] " OR (line MATCHES " [BD] " AND NOT line MATCHES " [BD] (__odr_asan\\.)?laneKernel[A-Za-z0-9]+$"))
      message(FATAL_ERROR "${object} shares a symbol: ${line}")
    endif()
  endforeach()
endforeach()
