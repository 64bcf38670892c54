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
foreach(f qmldir libqtkeldraplugin.so plugins.qmltypes)
  if(NOT EXISTS ${import}/Keldra/${f})
    message(FATAL_ERROR "not installed: ${import}/Keldra/${f}")
  endif()
endforeach()
# Qt's tools find the type description through qmldir; it names all 22 elements, each
# once, as version 1.0 (qtplugin.qmltypes checks it against the plug-in itself).
file(READ ${import}/Keldra/qmldir qmldir)
if(NOT qmldir MATCHES "(^|\n)typeinfo plugins\\.qmltypes(\n|$)")
  message(FATAL_ERROR "the installed qmldir has no line \"typeinfo plugins.qmltypes\"")
endif()
file(READ ${import}/Keldra/plugins.qmltypes types)
string(REGEX MATCHALL "exports: \\[\"[A-Za-z]+ 1\\.0\"\\]" exports "${types}")
list(REMOVE_DUPLICATES exports)
list(LENGTH exports count)
if(NOT count EQUAL 22)
  message(FATAL_ERROR "the installed plugins.qmltypes describes ${count} elements, not 22")
endif()
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
