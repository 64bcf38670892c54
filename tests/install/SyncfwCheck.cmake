# Run by CTest: stage an install of BUILD_DIR under WORK_DIR, build a storage plug-in
# against the sync framework stand-in through its pkg-config entry into the plug-in folder
# it names, and run the installed daemon stand-in with it and with the installed
# libhkeldra-storage.
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

file(GLOB_RECURSE pc_files ${stage}/syncfw.pc)
list(GET pc_files 0 pc_file)
get_filename_component(pc_dir ${pc_file} DIRECTORY)
set(pkg_config ${CMAKE_COMMAND} -E env PKG_CONFIG_PATH=${pc_dir} pkg-config)
run("pkg-config" ${pkg_config} --cflags --libs syncfw)
string(STRIP "${last_output}" pc_flags)
separate_arguments(pc_flags UNIX_COMMAND "${pc_flags}")
run("plug-in folder" ${pkg_config} --variable=storageplugindir syncfw)
string(STRIP "${last_output}" plugin_dir)
if(NOT EXISTS ${plugin_dir}/libhkeldra-storage.so)
  message(FATAL_ERROR "libhkeldra-storage.so is not installed in ${plugin_dir}")
endif()
separate_arguments(cxx_flags UNIX_COMMAND "${CXX_FLAGS}")
run("build a plug-in with pkg-config" ${CXX} -std=c++17 -fPIC -shared ${cxx_flags}
    ${SOURCE_DIR}/storageplugin/EmptyStorage.cpp ${pc_flags} -o ${plugin_dir}/libempty-storage.so)

# The installed driver, with a home, a temporary folder and no daemon of its own.
file(MAKE_DIRECTORY ${WORK_DIR}/home)
file(WRITE ${WORK_DIR}/empty.script "load empty\ncreate e\ninit a=1\nprops\nallids\nadditems - -\nuninit\ndestroy\n")
run("the driver with the plug-in built here"
    ${CMAKE_COMMAND} -E env HOME=${WORK_DIR}/home TMPDIR=${WORK_DIR}/home
    DBUS_SESSION_BUS_ADDRESS=unix:path=${WORK_DIR}/no-bus
    ${stage}/bin/syncfw-driver --plugin-dir ${plugin_dir} ${WORK_DIR}/empty.script)
if(NOT last_output STREQUAL "ok\nok\ntrue\na=1\ntrue\n-3 -3 |  \ntrue\nok\n")
  message(FATAL_ERROR "the driver printed\n${last_output}")
endif()
file(WRITE ${WORK_DIR}/hkeldra.script "load hkeldra\ncreate hkeldra\ndestroy-null\nuninit\ndestroy\n")
run("the driver with the installed storage plug-in"
    ${CMAKE_COMMAND} -E env HOME=${WORK_DIR}/home TMPDIR=${WORK_DIR}/home
    DBUS_SESSION_BUS_ADDRESS=unix:path=${WORK_DIR}/no-bus
    ${stage}/bin/syncfw-driver --plugin-dir ${plugin_dir} ${WORK_DIR}/hkeldra.script)
if(NOT last_output STREQUAL "ok\nok\nok\ntrue\nok\n")
  message(FATAL_ERROR "the driver printed\n${last_output}")
endif()
message(STATUS "storage plug-ins of ${plugin_dir} run by the installed driver")
