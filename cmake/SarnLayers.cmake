# The build's layers: one library target per source folder, each linked only
# to the layers below it, and a build step per target that refuses an
# include of a folder that is not its own or below it.
#
#   sarn_declare_layer(<name> FOLDERS <folder>... [DEPENDS <layer>...]
#                      [TARGET <target>])
#   sarn_add_layer(<name> FOLDERS <folder>... [DEPENDS <layer>...])
#   sarn_add_layer_checks()
#
# FOLDERS are source folders relative to the source root (a folder's
# subfolders belong to it only when listed); DEPENDS names the layers
# directly below. A layer may include the headers of its own folders and of
# every layer below it, directly or through others. sarn_add_layer declares
# the layer and makes its library, sarn_<name>, from the *.cpp files of its
# folders (an INTERFACE target while it has none, so that its place in the
# order exists before its first file); sarn_declare_layer only declares a
# layer whose target is made otherwise (the plug-ins). sarn_add_layer_checks,
# called once after every layer is declared, adds the checks: each runs
# before its target compiles and again whenever a file of the layer changes,
# and a violation fails the build with the file, the line and the include.

set(SARN_LAYER_CHECK_SCRIPT ${CMAKE_CURRENT_LIST_DIR}/CheckLayers.cmake)

# Top folders of the project that hold no layer: a library file may not
# include from them.
set(SARN_OTHER_FOLDERS tests bench examples scripts cmake)

function(sarn_declare_layer name)
  cmake_parse_arguments(ARG "" "TARGET" "FOLDERS;DEPENDS" ${ARGN})
  if(NOT ARG_TARGET)
    set(ARG_TARGET sarn_${name})
  endif()
  set_property(GLOBAL PROPERTY SARN_LAYER_${name}_FOLDERS ${ARG_FOLDERS})
  set_property(GLOBAL PROPERTY SARN_LAYER_${name}_DEPENDS ${ARG_DEPENDS})
  set_property(GLOBAL PROPERTY SARN_LAYER_${name}_TARGET ${ARG_TARGET})
  set_property(GLOBAL APPEND PROPERTY SARN_LAYERS ${name})
endfunction()

# The targets of the named layers.
function(sarn_layer_targets out)
  set(targets "")
  foreach(layer ${ARGN})
    get_property(target GLOBAL PROPERTY SARN_LAYER_${layer}_TARGET)
    if(NOT target)
      message(FATAL_ERROR "Layer ${layer} is used before it is declared")
    endif()
    list(APPEND targets ${target})
  endforeach()
  set(${out} ${targets} PARENT_SCOPE)
endfunction()

function(sarn_add_layer name)
  cmake_parse_arguments(ARG "" "" "FOLDERS;DEPENDS" ${ARGN})
  sarn_declare_layer(${name} FOLDERS ${ARG_FOLDERS} DEPENDS ${ARG_DEPENDS})
  set(target sarn_${name})
  set(sources "")
  foreach(folder ${ARG_FOLDERS})
    file(GLOB found CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/${folder}/*.cpp)
    list(APPEND sources ${found})
  endforeach()
  sarn_layer_targets(below ${ARG_DEPENDS})
  if(sources)
    add_library(${target} STATIC ${sources})
    target_include_directories(${target} PUBLIC ${CMAKE_SOURCE_DIR})
    target_link_libraries(${target} PUBLIC ${below})
    set_target_properties(${target} PROPERTIES POSITION_INDEPENDENT_CODE ON
      CXX_VISIBILITY_PRESET hidden VISIBILITY_INLINES_HIDDEN ON)
  else()
    add_library(${target} INTERFACE)
    target_include_directories(${target} INTERFACE ${CMAKE_SOURCE_DIR})
    target_link_libraries(${target} INTERFACE ${below})
  endif()
endfunction()

# Folders of a layer and of every layer below it.
function(sarn_layer_reach name out)
  get_property(folders GLOBAL PROPERTY SARN_LAYER_${name}_FOLDERS)
  get_property(below GLOBAL PROPERTY SARN_LAYER_${name}_DEPENDS)
  set(reach ${folders})
  foreach(layer ${below})
    sarn_layer_reach(${layer} sub)
    list(APPEND reach ${sub})
  endforeach()
  list(REMOVE_DUPLICATES reach)
  set(${out} ${reach} PARENT_SCOPE)
endfunction()

function(sarn_add_layer_check name all_folders)
  get_property(folders GLOBAL PROPERTY SARN_LAYER_${name}_FOLDERS)
  get_property(target GLOBAL PROPERTY SARN_LAYER_${name}_TARGET)
  sarn_layer_reach(${name} reach)
  set(files "")
  foreach(folder ${folders})
    file(GLOB found CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/${folder}/*.cpp
         ${CMAKE_SOURCE_DIR}/${folder}/*.hpp ${CMAKE_SOURCE_DIR}/${folder}/*.h)
    list(APPEND files ${found})
  endforeach()
  set(stamp ${CMAKE_BINARY_DIR}/layer-checks/${target}.stamp)
  # Lists travel to the script with "," between their items.
  string(REPLACE ";" "," reach_arg "${reach}")
  string(REPLACE ";" "," all_arg "${all_folders}")
  string(REPLACE ";" "," other_arg "${SARN_OTHER_FOLDERS}")
  string(REPLACE ";" "," files_arg "${files}")
  add_custom_command(OUTPUT ${stamp}
    COMMAND ${CMAKE_COMMAND} -DTARGET=${target} -DALLOWED=${reach_arg}
            -DLAYER_FOLDERS=${all_arg} -DOTHER_FOLDERS=${other_arg} -DFILES=${files_arg}
            -DSOURCE_ROOT=${CMAKE_SOURCE_DIR} -DSTAMP=${stamp} -P ${SARN_LAYER_CHECK_SCRIPT}
    DEPENDS ${files} ${SARN_LAYER_CHECK_SCRIPT}
    COMMENT "Checking that ${target} includes only its own folders and the layers below"
    VERBATIM)
  add_custom_target(${target}_layer_check DEPENDS ${stamp})
  add_dependencies(${target} ${target}_layer_check)
endfunction()

function(sarn_add_layer_checks)
  get_property(layers GLOBAL PROPERTY SARN_LAYERS)
  set(all_folders "")
  foreach(name ${layers})
    get_property(folders GLOBAL PROPERTY SARN_LAYER_${name}_FOLDERS)
    list(APPEND all_folders ${folders})
  endforeach()
  foreach(name ${layers})
    sarn_add_layer_check(${name} "${all_folders}")
  endforeach()
endfunction()
