# Run by CTest: stage an install of BUILD_DIR under WORK_DIR and build the consumer
# program and the README's two programs against it both ways; each program must run
# and report success, the README's programs printing what the README says they print
# (the store program on a new store, with the staged keldservice on a private bus).
# Also checks what the package asks of a consumer and what the library exports.
cmake_minimum_required(VERSION 3.18)

function(run what)
  execute_process(COMMAND ${ARGN} RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err)
  if(NOT rc EQUAL 0)
    message(FATAL_ERROR "${what} failed (${rc}):\n${out}\n${err}")
  endif()
  set(last_output "${out}" PARENT_SCOPE)
endfunction()

include(${CMAKE_CURRENT_LIST_DIR}/../../cmake/FencedBlock.cmake)

file(REMOVE_RECURSE ${WORK_DIR})
set(stage ${WORK_DIR}/stage)
run("install" ${CMAKE_COMMAND} --install ${BUILD_DIR} --prefix ${stage})

file(READ ${README} readme)
fenced_block("${readme}" "## A first program" "cpp" example_source)
fenced_block("${readme}" "## A first program" "text" example_output)
set(example ${WORK_DIR}/example.cpp)
file(WRITE ${example} "${example_source}")
fenced_block("${readme}" "## A program with the store" "cpp" store_example_source)
fenced_block("${readme}" "## A program with the store" "text" store_example_output)
set(store_example ${WORK_DIR}/store_example.cpp)
file(WRITE ${store_example} "${store_example_source}")

# The consumer runs with a home of its own: the library may open its log there.
set(run_env ${CMAKE_COMMAND} -E env HOME=${WORK_DIR})
# Qt's D-Bus thread may still be winding down at exit (see tests/support/TestMain.cpp).
file(WRITE ${WORK_DIR}/lsan.supp "leak:QThread::QThread\n")
set(store_env LSAN_OPTIONS=suppressions=${WORK_DIR}/lsan.supp)
# with-relay.sh KELDSERVICE PROGRAM, on the bus dbus-run-session made: starts the
# relay, waits for its name, runs the program, stops the relay; the program's status.
file(WRITE ${WORK_DIR}/with-relay.sh [=[
"$1" </dev/null &
relay=$!
if ! gdbus wait --session --timeout 60 com.ostra.maps.keldservice; then
  kill $relay
  exit 3
fi
"$2"
rc=$?
kill $relay
wait $relay
exit $rc
]=])

function(check_example what program)
  run("run the README example (${what})" ${ARGN} ${program})
  if(NOT last_output STREQUAL example_output)
    message(FATAL_ERROR
      "the README example (${what}) printed\n${last_output}\ninstead of\n${example_output}")
  endif()
endfunction()

# The store program, each run on a new store (a fresh home) with the staged keldservice
# on a private session bus of its own; ARGN: more environment.
function(check_store_example what program)
  set(home ${WORK_DIR}/home-${what})
  file(REMOVE_RECURSE ${home})
  file(MAKE_DIRECTORY ${home})
  run("run the README store program (${what})" ${CMAKE_COMMAND} -E env HOME=${home} ${store_env}
      ${ARGN} dbus-run-session -- sh ${WORK_DIR}/with-relay.sh ${stage}/bin/keldservice
      ${program})
  if(NOT last_output STREQUAL store_example_output)
    message(FATAL_ERROR "the README store program (${what}) printed\n${last_output}\n"
                        "instead of\n${store_example_output}")
  endif()
endfunction()

# 1. find_package(keldra)
run("configure with find_package" ${CMAKE_COMMAND} -S ${CONSUMER_DIR} -B ${WORK_DIR}/cmake-build
    -DCMAKE_PREFIX_PATH=${stage} -DCMAKE_CXX_COMPILER=${CXX} "-DCMAKE_CXX_FLAGS=${CXX_FLAGS}"
    -DKELDRA_EXAMPLE=${example} -DKELDRA_STORE_EXAMPLE=${store_example})
run("build with find_package" ${CMAKE_COMMAND} --build ${WORK_DIR}/cmake-build)
run("run the find_package build" ${run_env} ${WORK_DIR}/cmake-build/consumer)
message(STATUS "find_package: ${last_output}")
check_example("find_package" ${WORK_DIR}/cmake-build/example ${run_env})
check_store_example("find_package" ${WORK_DIR}/cmake-build/store_example)

# 2. pkg-config
file(GLOB_RECURSE pc_files ${stage}/keldra.pc)
list(GET pc_files 0 pc_file)
get_filename_component(pc_dir ${pc_file} DIRECTORY)
set(pkg_config ${CMAKE_COMMAND} -E env PKG_CONFIG_PATH=${pc_dir} pkg-config)
run("pkg-config" ${pkg_config} --cflags --libs keldra)
string(STRIP "${last_output}" pc_flags)
separate_arguments(pc_flags UNIX_COMMAND "${pc_flags}")
separate_arguments(cxx_flags UNIX_COMMAND "${CXX_FLAGS}")
get_filename_component(lib_dir ${pc_dir} DIRECTORY)
run("build with pkg-config" ${CXX} -std=c++17 ${cxx_flags} ${CONSUMER_DIR}/main.cpp ${pc_flags}
    -o ${WORK_DIR}/consumer-pc)
run("run the pkg-config build" ${run_env} LD_LIBRARY_PATH=${lib_dir} ${WORK_DIR}/consumer-pc)
message(STATUS "pkg-config: ${last_output}")
run("build the README example with pkg-config" ${CXX} -std=c++17 ${cxx_flags} ${example}
    ${pc_flags} -o ${WORK_DIR}/example-pc)
check_example("pkg-config" ${WORK_DIR}/example-pc ${run_env} LD_LIBRARY_PATH=${lib_dir})
run("build the README store program with pkg-config" ${CXX} -std=c++17 ${cxx_flags}
    ${store_example} ${pc_flags} -o ${WORK_DIR}/store_example-pc)
check_store_example("pkg-config" ${WORK_DIR}/store_example-pc LD_LIBRARY_PATH=${lib_dir})

# 3. What the package asks of a consumer: to link keldra, tervo and Qt Core (whose
# event loop every user of the store runs); Qt's other modules, GLib, SQLite and libzip
# are private requirements of the shared library.
run("pkg-config --libs" ${pkg_config} --libs keldra)
if(last_output MATCHES "Qt5(Network|DBus)|glib|sqlite|zip|pthread" OR
   NOT last_output MATCHES "-lQt5Core")
  message(FATAL_ERROR "pkg-config --libs keldra asks for other than keldra, tervo and Qt Core: "
                      "${last_output}")
endif()
run("pkg-config --print-requires" ${pkg_config} --print-requires keldra)
string(STRIP "${last_output}" requires)
if(NOT requires STREQUAL "Qt5Core")
  message(FATAL_ERROR "keldra.pc's public requirements are not Qt5Core alone: ${requires}")
endif()
run("pkg-config --print-requires-private" ${pkg_config} --print-requires-private keldra)
foreach(module Qt5Network Qt5DBus sqlite3 glib-2.0 libzip)
  if(NOT last_output MATCHES "(^|\n)${module}(\n|$)")
    message(FATAL_ERROR
      "keldra.pc does not list ${module} as a private requirement:\n${last_output}")
  endif()
endforeach()

# 4. No free function of the library in the global namespace, where it could clash with
# an application's own (a C++ function there mangles as _Z<length><name>).
run("nm" nm -D --defined-only ${lib_dir}/libkeldra.so)
string(REGEX MATCHALL "[0-9a-f]+ T _Z[0-9][^\n]*" global_functions "${last_output}")
if(global_functions)
  message(FATAL_ERROR "libkeldra exports global-namespace functions: ${global_functions}")
endif()
