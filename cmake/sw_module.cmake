# One library per module of src/, with its sources named and its dependencies declared.
#
#   sw_module(core/access SOURCES a.cpp b.cpp DEPENDS core/common core/scl [PRIVATE_LIBS ...] [PUBLIC_LIBS ...])
#
# makes the target sw_core_access. A module sees only its own headers and those of the modules it links:
# its include root is a folder of its own under the build tree in which core/access links to
# src/core/access, so `#include "core/image/..."` from a module that does not link core/image fails to
# compile. Where the file system cannot link folders (Windows without the right to make links), the
# include root falls back to src/ and the layering goes unchecked there.
function(sw_module path)
  cmake_parse_arguments(ARG "" "" "SOURCES;DEPENDS;PRIVATE_LIBS;PUBLIC_LIBS" ${ARGN})
  string(REPLACE "/" "_" name "${path}")
  set(target sw_${name})
  list(TRANSFORM ARG_SOURCES PREPEND ${PROJECT_SOURCE_DIR}/src/${path}/)
  add_library(${target} STATIC ${ARG_SOURCES})

  set(root ${PROJECT_BINARY_DIR}/modules/${name})
  get_filename_component(parent ${root}/${path} DIRECTORY)
  file(MAKE_DIRECTORY ${parent})
  if(NOT EXISTS ${root}/${path})
    file(CREATE_LINK ${PROJECT_SOURCE_DIR}/src/${path} ${root}/${path} RESULT linked SYMBOLIC)
  else()
    set(linked 0)
  endif()
  if(linked EQUAL 0)
    target_include_directories(${target} PUBLIC ${root})
  else()
    target_include_directories(${target} PUBLIC ${PROJECT_SOURCE_DIR}/src)
  endif()

  list(TRANSFORM ARG_DEPENDS REPLACE "/" "_")
  list(TRANSFORM ARG_DEPENDS PREPEND sw_)
  target_link_libraries(${target} PUBLIC sw_build_options ${ARG_DEPENDS} ${ARG_PUBLIC_LIBS} PRIVATE ${ARG_PRIVATE_LIBS})
endfunction()
