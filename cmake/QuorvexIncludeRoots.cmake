# QuorvexIncludeRoots.cmake -- gives each subsystem an include root of its own, so a
# target reaches only the headers of the subsystems it links
#
# Sources include project headers by folder ("render/blur.h"). With the source
# tree itself on the include path, any file could include any folder's headers,
# and a dependency nobody declared would go unnoticed. Instead each folder gets
# a root under the build tree that holds one link, named after the folder and
# pointing at it; the folder's target puts that root on its include path, PUBLIC
# or INTERFACE, so exactly the targets that link it (directly or through a
# PUBLIC dependency) can write `#include "render/blur.h"`.

# qv_include_root(TARGET FOLDER [PUBLIC|INTERFACE|PRIVATE]): FOLDER (relative to
# the source tree) becomes includable as "FOLDER/..." for TARGET and, unless
# PRIVATE, for whatever links it. PUBLIC is the default (INTERFACE for an
# interface library).
function(qv_include_root target folder)
  set(scope PUBLIC)
  get_target_property(type ${target} TYPE)
  if(type STREQUAL "INTERFACE_LIBRARY")
    set(scope INTERFACE)
  endif()
  if(ARGC GREATER 2)
    set(scope ${ARGV2})
  endif()
  string(REPLACE "/" "_" root_name "${folder}")
  set(root ${PROJECT_BINARY_DIR}/include-roots/${root_name})
  get_filename_component(link ${root}/${folder} DIRECTORY)
  file(MAKE_DIRECTORY ${link})
  file(CREATE_LINK ${PROJECT_SOURCE_DIR}/${folder} ${root}/${folder} SYMBOLIC)
  target_include_directories(${target} ${scope} ${root})
endfunction()
