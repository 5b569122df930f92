# packaging.cmake -- CPack: `cpack -G DEB` makes quorvex_<version>_amd64.deb on
# Debian; in the mingw-w64 build `cpack -G ZIP` makes quorvex-<version>-win64.zip.
set(CPACK_PACKAGE_NAME quorvex)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "The Quorvex developers")
set(CPACK_PACKAGE_CONTACT "The Quorvex developers <quorvex@users.noreply.github.com>")
set(CPACK_PACKAGE_HOMEPAGE_URL "https://github.com/quorvex/quorvex")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "real-time 3D graphics demo of a spinning torus")
set(CPACK_RESOURCE_FILE_LICENSE ${PROJECT_SOURCE_DIR}/LICENSE)
set(CPACK_RESOURCE_FILE_README ${PROJECT_SOURCE_DIR}/README.md)
# Installed programs carry no debugging information.
set(CPACK_STRIP_FILES TRUE)

if(WIN32)
  set(CPACK_GENERATOR ZIP)
  set(CPACK_SYSTEM_NAME win64)
  set(CPACK_PACKAGE_FILE_NAME ${CPACK_PACKAGE_NAME}-${CPACK_PACKAGE_VERSION}-${CPACK_SYSTEM_NAME})
else()
  set(CPACK_GENERATOR DEB)
  set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
  set(CPACK_DEBIAN_PACKAGE_SECTION graphics)
  set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
  # SDL2, GL, GLU, zlib and the C++ runtime, read from the programs themselves.
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
  # Loaded at run time, so invisible to dpkg-shlibdeps: Mesa's drivers (GLX for
  # the demo's window) and EGL (quorvex-capture's offscreen surface).
  set(CPACK_DEBIAN_PACKAGE_DEPENDS "libgl1-mesa-dri, libegl1")
  # The long description, wrapped for an 80-column terminal; CPack puts the
  # summary above it, indents each line and turns the empty one into " .".
  set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
"Quorvex builds a self-intersecting torus procedurally and draws two
alternating animated scenes full screen with OpenGL: a zoom-blurred
spinning torus, and a tumbling torus drawn filled and as a wireframe,
with glowing panels and a white fade at each change back to the first
scene. Any key ends it.

The package also holds quorvex-capture, which renders the demo's frames
headless and frame-exact into PNG images or a YUV4MPEG2 video stream.")
  # A read-only global offset table from the start, as Debian's own packages have.
  add_link_options(LINKER:-z,now)
endif()

include(CPack)
