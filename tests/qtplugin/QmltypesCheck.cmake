# Run by CTest: the module's plugins.qmltypes describes exactly the types the built
# plug-in registers.
#  1. qmldir names it (typeinfo), and it exports every element that registerTypes
#     registers (KeldraPlugin.cpp), each as "<Element> 1.0", and no other.
#  2. qmlplugindump on the built plug-in gives the same file (comments aside).
# Inputs: SOURCE_DIR (qtplugin/), QML_DIR (the build tree's QML import directory),
# WORK_DIR, DUMP (qmlplugindump), PRELOAD (a sanitizer runtime the dumping process must
# load first; empty when the build has none).
cmake_minimum_required(VERSION 3.18)

file(READ ${SOURCE_DIR}/qmldir qmldir)
if(NOT qmldir MATCHES "(^|\n)typeinfo plugins\\.qmltypes(\n|$)")
  message(FATAL_ERROR "qmldir has no line \"typeinfo plugins.qmltypes\":\n${qmldir}")
endif()

# The element names that registerTypes gives, sorted.
file(READ ${SOURCE_DIR}/KeldraPlugin.cpp plugin_source)
string(REGEX MATCHALL "qmlRegisterType<[A-Za-z_:]+>\\(uri, 1, 0, \"[A-Za-z]+\"\\)" registered
       "${plugin_source}")
set(registered_names "")
foreach(call ${registered})
  string(REGEX REPLACE ".*\"([A-Za-z]+)\"\\)$" "\\1" name "${call}")
  list(APPEND registered_names ${name})
endforeach()
list(SORT registered_names)
list(LENGTH registered_names count)
if(NOT count EQUAL 22)
  message(FATAL_ERROR "registerTypes registers ${count} elements, not 22: ${registered_names}")
endif()

# The exported names of a qmltypes text, sorted; FATAL when one is not version 1.0.
function(exported_names text out_var)
  string(REGEX MATCHALL "exports: \\[[^]]*\\]" exports "${text}")
  set(names "")
  foreach(e ${exports})
    if(NOT e MATCHES "^exports: \\[\"([A-Za-z]+) 1\\.0\"\\]$")
      message(FATAL_ERROR "an export that is not one element of version 1.0: ${e}")
    endif()
    list(APPEND names ${CMAKE_MATCH_1})
  endforeach()
  list(SORT names)
  set(${out_var} "${names}" PARENT_SCOPE)
endfunction()

file(READ ${SOURCE_DIR}/plugins.qmltypes kept)
exported_names("${kept}" kept_names)
if(NOT kept_names STREQUAL registered_names)
  message(FATAL_ERROR "plugins.qmltypes exports\n  ${kept_names}\nbut the plug-in registers\n"
                      "  ${registered_names}")
endif()

# The text without its comment lines (the header names the command and the build
# folder it was run on).
function(without_comments text out_var)
  string(REGEX REPLACE "(^|\n)[ \t]*//[^\n]*" "" text "${text}")
  string(STRIP "${text}" text)
  set(${out_var} "${text}" PARENT_SCOPE)
endfunction()

file(REMOVE_RECURSE ${WORK_DIR})
file(MAKE_DIRECTORY ${WORK_DIR}/home ${WORK_DIR}/tmp)
set(env HOME=${WORK_DIR}/home TMPDIR=${WORK_DIR}/tmp XDG_RUNTIME_DIR=${WORK_DIR}/tmp
    QT_QPA_PLATFORM=offscreen)
if(PRELOAD)
  # A plug-in built with AddressSanitizer loads into qmlplugindump only after the
  # sanitizer's runtime; qmlplugindump itself is not checked for leaks.
  list(APPEND env LD_PRELOAD=${PRELOAD} ASAN_OPTIONS=detect_leaks=0)
endif()
execute_process(
  COMMAND ${CMAKE_COMMAND} -E env ${env} ${DUMP} -noforceqtquick Keldra 1.0 ${QML_DIR}
  RESULT_VARIABLE rc OUTPUT_VARIABLE dumped ERROR_VARIABLE err TIMEOUT 120)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "qmlplugindump failed (${rc}):\n${err}")
endif()
file(WRITE ${WORK_DIR}/plugins.qmltypes "${dumped}")
without_comments("${dumped}" dumped_body)
without_comments("${kept}" kept_body)
if(NOT dumped_body STREQUAL kept_body)
  message(FATAL_ERROR
    "qtplugin/plugins.qmltypes differs from what the built plug-in registers. The dump is "
    "${WORK_DIR}/plugins.qmltypes: check the difference and copy it over "
    "qtplugin/plugins.qmltypes (replacing the build folder in its header by <build>/qml).")
endif()
message(STATUS "plugins.qmltypes describes the ${count} registered elements")
