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

# Two builds of the same commit make the same package bytes, wherever the
# clone lies. Paths into the source and build folders would otherwise end up
# in the programs (debugging information, and with it the build id that
# survives stripping); the ones written instead are relative.
add_compile_options(-ffile-prefix-map=${PROJECT_SOURCE_DIR}/=
                    -ffile-prefix-map=${PROJECT_BINARY_DIR}/=)
if(WIN32)
  # The PE header has a link time field; zero, as Windows does not read it.
  add_link_options(LINKER:--no-insert-timestamp)
endif()

# Read by cpack before each generator runs, so what it checks and sets holds
# for the packaging run itself, whenever the build was configured: the
# archives' date (archive_dates.cmake), then the .deb's own needs.
include(${PROJECT_SOURCE_DIR}/cmake/archive_dates.cmake)
set(CPACK_PROJECT_CONFIG_FILE ${PROJECT_BINARY_DIR}/QuorvexCPackProject.cmake)
file(CONFIGURE OUTPUT ${CPACK_PROJECT_CONFIG_FILE} @ONLY CONTENT [=[
include("@QUORVEX_ARCHIVE_DATES_FILE@")

# Without dpkg-shlibdeps CPack only warns and writes a package whose Depends
# lacks SDL, GLU and the C++ runtime: one that installs and then cannot start.
if(CPACK_GENERATOR STREQUAL "DEB")
  find_program(QUORVEX_DPKG_SHLIBDEPS dpkg-shlibdeps)
  if(NOT QUORVEX_DPKG_SHLIBDEPS)
    message(FATAL_ERROR "dpkg-shlibdeps is not installed, so the package's "
      "dependencies cannot be read from the programs; install dpkg-dev "
      "(tools/install-deps.sh --only dpkg-dev) and run cpack again.")
  endif()
endif()
]=])

if(WIN32)
  set(CPACK_GENERATOR ZIP)
  set(CPACK_SYSTEM_NAME win64)
  set(CPACK_PACKAGE_FILE_NAME ${CPACK_PACKAGE_NAME}-${CPACK_PACKAGE_VERSION}-${CPACK_SYSTEM_NAME})
else()
  set(CPACK_GENERATOR DEB)
  set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
  set(CPACK_DEBIAN_PACKAGE_SECTION graphics)
  set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
  # The libraries the programs link (SDL2, GLU, the C++ runtime, ...), read
  # from the programs themselves.
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
  # Opened with dlopen at run time, so invisible to dpkg-shlibdeps: SDL opens
  # libGL.so.1 (libgl1, GLX dispatch, which brings Mesa's GLX) for the demo's
  # window and libEGL.so.1 (libegl1, which brings Mesa's EGL) for the
  # capture's offscreen surface; both then open Mesa's swrast_dri.so or a
  # hardware driver from libgl1-mesa-dri.
  set(quorvex_runtime_depends libgl1 libgl1-mesa-dri)
  if(QUORVEX_CAPTURE)
    list(APPEND quorvex_runtime_depends libegl1)
  endif()
  list(JOIN quorvex_runtime_depends ", " CPACK_DEBIAN_PACKAGE_DEPENDS)
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
