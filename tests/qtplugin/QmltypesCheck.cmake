# Run by CTest: the module's plugins.qmltypes describes exactly the types the built
# plug-in registers.
#  1. qmldir names it (typeinfo), and it exports every element that registerTypes
#     registers (KeldraPlugin.cpp), each as "<Element> 1.0", and no other.
#  2. The reference doc/qml.md names every property, method and signal of each element
#     in the element's section ("## <Element>"; a typed object's section together with
#     its base's).
#  3. qmlplugindump on the built plug-in gives the same file (comments aside).
# Inputs: SOURCE_DIR (qtplugin/), DOC (doc/qml.md), QML_DIR (the build tree's QML
# import directory),
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

# The Component blocks of the kept file, in order, as a list of indexes; block_<i> holds
# the text of block i.
set(rest "${kept}")
set(blocks "")
set(i 0)
while(TRUE)
  string(FIND "${rest}" "\n    Component {" at)
  if(at LESS 0)
    break()
  endif()
  math(EXPR at "${at} + 16")
  string(SUBSTRING "${rest}" ${at} -1 rest)
  string(FIND "${rest}" "\n    Component {" next)
  if(next LESS 0)
    set(block_${i} "${rest}")
  else()
    string(SUBSTRING "${rest}" 0 ${next} block_${i})
  endif()
  list(APPEND blocks ${i})
  math(EXPR i "${i} + 1")
endwhile()

# The section of |element| in the reference ("" when it has none).
file(READ ${DOC} doc)
function(doc_section element out_var)
  string(FIND "${doc}" "\n## ${element}\n" at)
  if(at LESS 0)
    set(${out_var} "" PARENT_SCOPE)
    return()
  endif()
  string(SUBSTRING "${doc}" ${at} -1 text)
  string(SUBSTRING "${text}" 4 -1 text)
  string(FIND "${text}" "\n## " end)
  if(end GREATER 0)
    string(SUBSTRING "${text}" 0 ${end} text)
  endif()
  set(${out_var} "${text}" PARENT_SCOPE)
endfunction()

foreach(i ${blocks})
  string(REGEX MATCH "name: \"([^\"]+)\"" _ "${block_${i}}")
  string(MAKE_C_IDENTIFIER "${CMAKE_MATCH_1}" id)
  string(REGEX MATCH "exports: \\[\"([A-Za-z]+) 1\\.0\"\\]" _ "${block_${i}}")
  set(element_of_${id} ${CMAKE_MATCH_1})
endforeach()
set(undocumented "")
foreach(i ${blocks})
  string(REGEX MATCH "exports: \\[\"([A-Za-z]+) 1\\.0\"\\]" _ "${block_${i}}")
  set(element ${CMAKE_MATCH_1})
  doc_section(${element} section)
  if(section STREQUAL "")
    list(APPEND undocumented "${element} (no section)")
  endif()
  string(REGEX MATCH "prototype: \"([^\"]+)\"" _ "${block_${i}}")
  string(MAKE_C_IDENTIFIER "${CMAKE_MATCH_1}" base)
  if(DEFINED element_of_${base})
    doc_section(${element_of_${base}} base_section)
    string(APPEND section "${base_section}")
  endif()
  string(REGEX MATCHALL "(Property|Method|Signal) {[ \n]*name: \"[A-Za-z0-9_]+\"" members
         "${block_${i}}")
  foreach(m ${members})
    string(REGEX REPLACE ".*\"([A-Za-z0-9_]+)\"$" "\\1" name "${m}")
    if(NOT section MATCHES "[^A-Za-z0-9_]${name}[^A-Za-z0-9_]")
      list(APPEND undocumented "${element}.${name}")
    endif()
  endforeach()
endforeach()
list(REMOVE_DUPLICATES undocumented)
if(undocumented)
  message(FATAL_ERROR "doc/qml.md does not describe: ${undocumented}")
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
