# The source folders are layers: plugin over manager, manager over ui and
# common, ui over common. Each layer's library sees its own headers and
# those of the layers it links, nothing else: an include that runs up the
# layers fails the build.

# The pure text units, listed once for every build (Windows, native, fuzz).
file(STRINGS ${CMAKE_CURRENT_LIST_DIR}/../src/pure-sources.txt VEL_PURE_RELATIVE)
set(VEL_PURE_SOURCES)
foreach(source ${VEL_PURE_RELATIVE})
  list(APPEND VEL_PURE_SOURCES ${CMAKE_CURRENT_LIST_DIR}/../src/${source})
endforeach()

# An include root that holds only `folder` (a link to src/<folder>, or to
# the folder given after it), so "<folder>/X.h" resolves for the targets
# that are given it.
function(vel_layer_include target scope folder)
  if(ARGC GREATER 3)
    set(source ${ARGV3})
  else()
    get_filename_component(source ${CMAKE_CURRENT_FUNCTION_LIST_DIR}/../src/${folder} ABSOLUTE)
  endif()
  set(root ${CMAKE_BINARY_DIR}/layers/${folder})
  if(NOT EXISTS ${root}/${folder})
    file(MAKE_DIRECTORY ${root})
    file(CREATE_LINK ${source} ${root}/${folder} SYMBOLIC)
  endif()
  target_include_directories(${target} ${scope} ${root})
endfunction()
