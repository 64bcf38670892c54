# Run by CTest: stage an install of BUILD_DIR under WORK_DIR and build the consumer
# program against it both ways; each program must run and report success.
cmake_minimum_required(VERSION 3.18)

function(run what)
  execute_process(COMMAND ${ARGN} RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err)
  if(NOT rc EQUAL 0)
    message(FATAL_ERROR "${what} failed (${rc}):\n${out}\n${err}")
  endif()
  set(last_output "${out}" PARENT_SCOPE)
endfunction()

file(REMOVE_RECURSE ${WORK_DIR})
set(stage ${WORK_DIR}/stage)
run("install" ${CMAKE_COMMAND} --install ${BUILD_DIR} --prefix ${stage})

# The consumer runs with a home of its own: the library may open its log there.
set(run_env ${CMAKE_COMMAND} -E env HOME=${WORK_DIR})

# 1. find_package(keldra)
run("configure with find_package" ${CMAKE_COMMAND} -S ${CONSUMER_DIR} -B ${WORK_DIR}/cmake-build
    -DCMAKE_PREFIX_PATH=${stage} -DCMAKE_CXX_COMPILER=${CXX} "-DCMAKE_CXX_FLAGS=${CXX_FLAGS}")
run("build with find_package" ${CMAKE_COMMAND} --build ${WORK_DIR}/cmake-build)
run("run the find_package build" ${run_env} ${WORK_DIR}/cmake-build/consumer)
message(STATUS "find_package: ${last_output}")

# 2. pkg-config
file(GLOB_RECURSE pc_files ${stage}/keldra.pc)
list(GET pc_files 0 pc_file)
get_filename_component(pc_dir ${pc_file} DIRECTORY)
run("pkg-config" ${CMAKE_COMMAND} -E env PKG_CONFIG_PATH=${pc_dir}
    pkg-config --cflags --libs keldra)
string(STRIP "${last_output}" pc_flags)
separate_arguments(pc_flags UNIX_COMMAND "${pc_flags}")
separate_arguments(cxx_flags UNIX_COMMAND "${CXX_FLAGS}")
run("build with pkg-config" ${CXX} -std=c++17 ${cxx_flags} ${CONSUMER_DIR}/main.cpp ${pc_flags}
    -o ${WORK_DIR}/consumer-pc)
get_filename_component(lib_dir ${pc_dir} DIRECTORY)
run("run the pkg-config build" ${run_env} LD_LIBRARY_PATH=${lib_dir} ${WORK_DIR}/consumer-pc)
message(STATUS "pkg-config: ${last_output}")
