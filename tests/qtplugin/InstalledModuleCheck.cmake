# Installs the build into a staging prefix and runs a QML test that imports the module
# from the staged QML directory only.
# Inputs: BUILD_DIR, WORK_DIR, QML_DIR (install dir of the module's parent, relative to
# the prefix or absolute), RUNNER, TEST_QML.
file(REMOVE_RECURSE ${WORK_DIR})
set(stage ${WORK_DIR}/stage)
execute_process(COMMAND ${CMAKE_COMMAND} --install ${BUILD_DIR} --prefix ${stage}
  RESULT_VARIABLE rc OUTPUT_QUIET)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "staged install failed: ${rc}")
endif()
if(IS_ABSOLUTE ${QML_DIR})
  message(FATAL_ERROR "an absolute QML directory cannot be staged: ${QML_DIR}")
endif()
set(import ${stage}/${QML_DIR})
foreach(f qmldir libqtkeldraplugin.so)
  if(NOT EXISTS ${import}/Keldra/${f})
    message(FATAL_ERROR "not installed: ${import}/Keldra/${f}")
  endif()
endforeach()
# The plug-in must find the libraries of its own install, not those of the build tree.
execute_process(COMMAND ldd ${import}/Keldra/libqtkeldraplugin.so OUTPUT_VARIABLE deps)
if(NOT deps MATCHES "libkeldra[^\n]*=> ${stage}/")
  message(FATAL_ERROR "the installed plug-in does not find the installed libkeldra:\n${deps}")
endif()
execute_process(COMMAND ${RUNNER} -import ${import} -input ${TEST_QML}
  RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "the installed module failed its test: ${rc}")
endif()
