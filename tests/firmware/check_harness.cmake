# Compiles one generated check against one controller and runs it.
# cmake -DCC=cc -DLINKER=c++ -DHARNESS=DIR -DCHECK=pid|cascade -DWORK=DIR
#       [-DCONTROLLER=file.c] [-DDEFINE=-DNAME] [-DSHIM=lib.a -DCORE=lib.a] [-DFLAGS="f g"]
#       [-DEXPECT=FIELD]
#       -P check_harness.cmake
# Without EXPECT the check must pass ("N vectors, 0 differ", status 0); with
# it, it must stop with status 1 and name FIELD as the first that differs.
separate_arguments(FLAGS UNIX_COMMAND "${FLAGS}")
set(c_flags -std=c99 -Wall -Wextra -pedantic -Werror ${FLAGS})
file(REMOVE_RECURSE ${WORK})
file(MAKE_DIRECTORY ${WORK})

function(run)
  execute_process(COMMAND ${ARGN} RESULT_VARIABLE status OUTPUT_VARIABLE out ERROR_VARIABLE out)
  if(NOT status EQUAL 0)
    list(JOIN ARGN " " line)
    message(FATAL_ERROR "${line}\n${out}")
  endif()
endfunction()

set(objects "")
if(CONTROLLER)
  run(${CC} ${c_flags} ${DEFINE} -c ${CONTROLLER} -o ${WORK}/controller.o)
  set(objects ${WORK}/controller.o)
endif()
string(TOUPPER "${CHECK}" prefix)

if(NOT PARTS)
  set(PARTS 1)
endif()
set(checked 0)
math(EXPR last "${PARTS} - 1")
foreach(part RANGE ${last})
  set(split "")
  if(PARTS GREATER 1)
    set(split -D${prefix}_VECTORS_PARTS=${PARTS} -D${prefix}_VECTORS_PART=${part})
  endif()
  run(${CC} ${c_flags} ${split} -c ${HARNESS}/${CHECK}_vectors_check.c -o ${WORK}/check.o)
  run(${LINKER} ${WORK}/check.o ${objects} ${SHIM} ${CORE} ${FLAGS} -o ${WORK}/check)
  execute_process(COMMAND ${WORK}/check RESULT_VARIABLE status OUTPUT_VARIABLE out ERROR_VARIABLE err)
  message("${out}${err}")
  if(EXPECT)
    if(NOT status EQUAL 1 OR NOT out MATCHES "differs in (field )?${EXPECT}: got -?[0-9]+, wanted -?[0-9]+, xor 0x")
      message(FATAL_ERROR "the check must stop at field ${EXPECT} with status 1: status ${status}")
    endif()
  elseif(NOT status EQUAL 0 OR NOT out MATCHES "^${CHECK}_vectors_check: ([0-9]+) vectors, 0 differ( \\(part [0-9]+ of [0-9]+\\))?\n$")
    message(FATAL_ERROR "the check must pass: status ${status}")
  else()
    math(EXPR checked "${checked} + ${CMAKE_MATCH_1}")
  endif()
endforeach()

file(STRINGS ${HARNESS}/${CHECK}_vectors_check.c count REGEX "^#define ${prefix}_VECTORS_COUNT ")
string(REGEX REPLACE ".* ([0-9]+)L$" "\\1" count "${count}")
if(NOT EXPECT AND NOT checked EQUAL count)
  message(FATAL_ERROR "the parts checked ${checked} vectors of ${count}")
endif()
