# The pack tool's libraries use only those before them in the order text, io, format, rules, cli,
# and the launcher's own code uses none of them: every #include "pack/<library>/..." of a file is
# checked against the library the file belongs to.
#   -DSOURCE_DIR=
set(order text io format rules cli)
set(broken "")
file(GLOB_RECURSE sources RELATIVE "${SOURCE_DIR}"
     "${SOURCE_DIR}/pack/*.h" "${SOURCE_DIR}/pack/*.cpp"
     "${SOURCE_DIR}/launch/*.h" "${SOURCE_DIR}/launch/*.cpp"
     "${SOURCE_DIR}/shell/*.h" "${SOURCE_DIR}/shell/*.cpp")
foreach(source IN LISTS sources)
  if(source MATCHES "^pack/([a-z]+)/")
    list(FIND order "${CMAKE_MATCH_1}" own)
  else()
    set(own -1)  # the launcher: no pack library at all
  endif()
  file(STRINGS "${SOURCE_DIR}/${source}" includes REGEX "^#include \"pack/")
  foreach(line IN LISTS includes)
    string(REGEX MATCH "pack/([a-z]+)/" used "${line}")
    list(FIND order "${CMAKE_MATCH_1}" position)
    if(position EQUAL -1 OR position GREATER own)
      string(APPEND broken "\n  ${source}: ${line}")
    endif()
  endforeach()
endforeach()
list(JOIN order ", " shown)
if(broken)
  message(FATAL_ERROR "includes against the order ${shown}:${broken}")
endif()
list(LENGTH sources count)
message(STATUS "${count} files follow the order ${shown}")
