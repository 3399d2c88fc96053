# Checks the includes of one layer's files (run with cmake -P by the build).
#
# Every include that names a header of the project must name one in the
# layer's own folders or in a layer below it (ALLOWED). Includes of headers
# outside the project (system, host and third-party headers) are not
# looked at. On success the stamp file is written; otherwise the script
# lists every include that reaches up and fails, which fails the build.
#
# Variables (lists with "," between items): TARGET, ALLOWED, LAYER_FOLDERS
# (the folders of every layer), OTHER_FOLDERS (top folders that hold no
# layer), FILES, SOURCE_ROOT, STAMP.

cmake_minimum_required(VERSION 3.18)

foreach(var ALLOWED LAYER_FOLDERS OTHER_FOLDERS FILES)
  string(REPLACE "," ";" ${var} "${${var}}")
endforeach()

# The top folder of every project folder, to tell project includes from
# outside ones.
set(project_tops ${OTHER_FOLDERS})
foreach(folder ${LAYER_FOLDERS})
  string(REGEX REPLACE "/.*" "" top "${folder}")
  list(APPEND project_tops ${top})
endforeach()
list(REMOVE_DUPLICATES project_tops)

set(violations "")
foreach(file ${FILES})
  file(RELATIVE_PATH shown ${SOURCE_ROOT} ${file})
  get_filename_component(file_dir ${file} DIRECTORY)
  file(STRINGS ${file} lines)
  set(line_number 0)
  foreach(line IN LISTS lines)
    math(EXPR line_number "${line_number} + 1")
    if(NOT line MATCHES "^[ \t]*#[ \t]*include[ \t]*[\"<]([^\">]+)[\">]")
      continue()
    endif()
    set(path ${CMAKE_MATCH_1})
    # A path relative to the including file: resolve it from the root.
    if(path MATCHES "^\\.\\.?/" OR NOT path MATCHES "/")
      if(EXISTS ${file_dir}/${path})
        get_filename_component(resolved ${file_dir}/${path} ABSOLUTE)
        file(RELATIVE_PATH path ${SOURCE_ROOT} ${resolved})
      elseif(NOT path MATCHES "/")
        continue()  # a header from outside the project
      endif()
    endif()
    get_filename_component(folder ${path} DIRECTORY)
    string(REGEX REPLACE "/.*" "" top "${path}")
    if(NOT top IN_LIST project_tops)
      continue()  # a header from outside the project
    endif()
    if(folder IN_LIST ALLOWED)
      continue()
    endif()
    if(folder IN_LIST LAYER_FOLDERS)
      set(why "the folder ${folder} is not below ${TARGET}")
    else()
      set(why "the folder ${folder} belongs to no library layer")
    endif()
    string(APPEND violations "  ${shown}:${line_number}: includes \"${path}\": ${why}\n")
  endforeach()
endforeach()

if(violations)
  string(REPLACE ";" ", " allowed_text "${ALLOWED}")
  message(FATAL_ERROR
    "Layer check of ${TARGET} failed: its files may include only the folders "
    "${allowed_text}.\n${violations}"
    "Move the code to the layer that owns what it needs, or reach the higher "
    "layer through a hook that it installs.")
endif()
file(WRITE ${STAMP} "checked\n")
