# Installs the built library into a fresh prefix, then configures, builds and
# runs the client project against that prefix alone, found once as a CMake
# package and once through pkg-config; then builds the example programs
# (SOURCE_DIR/examples) on their own against the same prefix.
#
#   cmake -DBUILD_DIR=<build tree> -DSOURCE_DIR=<source tree> -DCLIENT_DIR=<client project>
#         -DCXX=<compiler> -DCC=<C compiler> -DJOBS=2 -P install_test.cmake
#
# Its scratch folder, outside both trees, is removed when everything passed
# and kept for a look when something failed.

foreach(arg BUILD_DIR SOURCE_DIR CLIENT_DIR CXX CC JOBS)
  if(NOT DEFINED ${arg})
    message(FATAL_ERROR "install test: ${arg} is not set")
  endif()
endforeach()

function(run what)
  execute_process(COMMAND ${ARGN} RESULT_VARIABLE result OUTPUT_VARIABLE output ERROR_VARIABLE output)
  if(NOT result EQUAL 0)
    message(FATAL_ERROR "install test: ${what} failed (${result}):\n${output}")
  endif()
  set(last_output "${output}" PARENT_SCOPE)
endfunction()

set(tmp /tmp)
if(DEFINED ENV{TMPDIR})
  set(tmp $ENV{TMPDIR})
endif()
string(RANDOM LENGTH 12 suffix)
set(WORK_DIR ${tmp}/linkwell-install-test-${suffix})
message(STATUS "install test in ${WORK_DIR}")
set(prefix ${WORK_DIR}/prefix)
set(client_build ${WORK_DIR}/client-build)
set(examples_build ${WORK_DIR}/examples-build)

run("install" ${CMAKE_COMMAND} --install ${BUILD_DIR} --prefix ${prefix})

# What a client needs is there, and nothing installed points back into the
# source or build tree.
file(GLOB_RECURSE installed RELATIVE ${prefix} ${prefix}/*)
foreach(expected
    "include/linkwell/Bootloader\\.hpp"
    "include/linkwell/linkwell_export\\.h"
    "cmake/Linkwell/LinkwellConfig\\.cmake"
    "cmake/Linkwell/LinkwellConfigVersion\\.cmake"
    "cmake/Linkwell/LinkwellTargets\\.cmake"
    "pkgconfig/linkwell\\.pc"
    "liblinkwell\\.so")
  set(matches ${installed})
  list(FILTER matches INCLUDE REGEX "${expected}$")
  if(NOT matches)
    message(FATAL_ERROR "install test: nothing installed ends in ${expected}:\n${installed}")
  endif()
endforeach()
foreach(file IN LISTS installed)
  if(file MATCHES "\\.(cmake|pc|h|hpp|inc)$")
    file(READ ${prefix}/${file} text)
    foreach(tree ${SOURCE_DIR} ${BUILD_DIR})
      string(FIND "${text}" "${tree}" at)
      if(NOT at EQUAL -1)
        message(FATAL_ERROR "install test: ${file} refers to ${tree}")
      endif()
    endforeach()
  endif()
endforeach()

run("configure the client" ${CMAKE_COMMAND} -S ${CLIENT_DIR} -B ${client_build} -G Ninja
  -DCMAKE_BUILD_TYPE=Release -DCMAKE_CXX_COMPILER=${CXX} -DCMAKE_C_COMPILER=${CC}
  -DCMAKE_PREFIX_PATH=${prefix})
run("build the client" ${CMAKE_COMMAND} --build ${client_build} -j ${JOBS})
foreach(program client client_pkgconfig)
  run("run ${program}" ${client_build}/${program})
  if(NOT last_output MATCHES "client ok")
    message(FATAL_ERROR "install test: ${program} said:\n${last_output}")
  endif()
  message(STATUS "${program}: ${last_output}")
endforeach()

# The examples as a project of their own; without arguments each prints its
# usage and exits 2, which shows it starts with the installed library.
run("configure the examples" ${CMAKE_COMMAND} -S ${SOURCE_DIR}/examples -B ${examples_build} -G Ninja
  -DCMAKE_BUILD_TYPE=Release -DCMAKE_CXX_COMPILER=${CXX} -DCMAKE_C_COMPILER=${CC}
  -DCMAKE_PREFIX_PATH=${prefix})
run("build the examples" ${CMAKE_COMMAND} --build ${examples_build} -j ${JOBS})
foreach(program first_contact first_contact_c)
  execute_process(COMMAND ${examples_build}/${program} RESULT_VARIABLE result OUTPUT_VARIABLE output
    ERROR_VARIABLE output)
  if(NOT result EQUAL 2 OR NOT output MATCHES "usage: ${program} ")
    message(FATAL_ERROR "install test: ${program} without arguments gave ${result}:\n${output}")
  endif()
endforeach()
file(REMOVE_RECURSE ${WORK_DIR})
