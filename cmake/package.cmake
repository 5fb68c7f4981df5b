# The Debian package, made by CPack from the install rules: `make deb` builds
# velmora_<version>_<arch>.deb. The libraries it needs (Qt with Qt SVG for
# the Graph tab among them) are found by dpkg-shlibdeps; graphviz renders the call graphs, xdg-utils opens pictures
# and the editor of the sample settings, and the messages need a Japanese font.
set(VELMORA_MAINTAINER "Velmora developers <velmora@example.org>"
    CACHE STRING "Maintainer field of the Debian package")

# The package's changelog must name the version being packaged.
file(STRINGS ${CMAKE_SOURCE_DIR}/packaging/debian/changelog velmora_changelog_top LIMIT_COUNT 1)
if(NOT velmora_changelog_top MATCHES "^velmora \\(${PROJECT_VERSION}\\) ")
  message(FATAL_ERROR "packaging/debian/changelog does not start with version ${PROJECT_VERSION}")
endif()

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME velmora)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "${VELMORA_MAINTAINER}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "call graph navigator for C and C++ sources")
set(CPACK_PACKAGE_DESCRIPTION
    "Velmora helps a programmer find their way through a body of C and C++ code,
large and old code bases included. It reads sources in Shift_JIS, UTF-8 or
UTF-16, finds every function definition and every call with a loose parser of
its own, and links each call to the definition it reaches. The desktop program
shows a Function List, a Call List, a CallTree and a Result text, expands the
tree of calls below a function and renders it with Graphviz; velmora-cli runs
the same jobs from a terminal, and velmora-lsp answers call hierarchy,
definition, reference and symbol requests of editors as a language server.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION devel)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS graphviz)
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "xdg-utils, fonts-noto-cjk")
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
include(CPack)
