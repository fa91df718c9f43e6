# Checks that every source under SOURCE_ROOT includes only from the folders
# its layer may use, as the build recorded them in RULES (lines of
# "folder: allowed folders...", written by tamberly_write_layer_rules).
# Only project headers are looked at: #include "folder/File.h". A folder no
# rule names is an error too: a new folder must be given a layer.
#
#   cmake -DSOURCE_ROOT=src -DRULES=build/layers.txt -P CheckIncludes.cmake
cmake_minimum_required(VERSION 3.25)
get_filename_component(SOURCE_ROOT ${SOURCE_ROOT} ABSOLUTE)

file(STRINGS ${RULES} rules)
foreach(rule ${rules})
  string(REGEX MATCH "^([a-z]+): (.*)$" matched "${rule}")
  if(NOT matched)
    message(FATAL_ERROR "${RULES}: not a rule: ${rule}")
  endif()
  set(folder ${CMAKE_MATCH_1})
  string(REPLACE " " ";" allowed "${CMAKE_MATCH_2}")
  list(APPEND allowed_${folder} ${allowed})
  list(APPEND folders ${folder})
endforeach()

set(wrong 0)
file(GLOB_RECURSE sources RELATIVE ${SOURCE_ROOT} ${SOURCE_ROOT}/*.cpp ${SOURCE_ROOT}/*.h)
list(SORT sources)
foreach(source ${sources})
  string(REGEX MATCH "^[a-z]+" folder "${source}")
  if(NOT folder IN_LIST folders)
    message(SEND_ERROR "${source}: its folder ${folder} belongs to no layer")
    math(EXPR wrong "${wrong} + 1")
    continue()
  endif()
  file(STRINGS ${SOURCE_ROOT}/${source} includes REGEX "^[ \t]*#[ \t]*include[ \t]+\"[a-z]+/")
  foreach(line ${includes})
    string(REGEX MATCH "\"([a-z]+)/[^\"]*\"" header "${line}")
    if(NOT CMAKE_MATCH_1 IN_LIST allowed_${folder})
      message(SEND_ERROR "${source} includes ${header}: ${folder} may include from ${allowed_${folder}} only")
      math(EXPR wrong "${wrong} + 1")
    endif()
  endforeach()
endforeach()
list(LENGTH sources checked)
if(wrong GREATER 0)
  message(FATAL_ERROR "${wrong} include(s) against the layers in ${checked} files")
endif()
message(STATUS "${checked} files include only from their own and lower layers")
