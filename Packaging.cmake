# The Debian package of the kit, built by CPack (scripts/package).
#
# Layout on the installed system: the kit keeps its own folder, /opt/lumora
# (the three program bundles, loginitems beside them, and
# libexec/loginwindow-start), because the programs find the daemon and the
# application by where their bundles lie. The autostart entry goes where
# desktops look for it, /etc/xdg/autostart, as a configuration file of the
# package. scripts/package configures a build with
#   -DCMAKE_INSTALL_PREFIX=/opt/lumora -DLUMORA_AUTOSTART_DIR=/etc/xdg/autostart
# and CPack installs into its staging folder through DESTDIR, so the entry's
# Exec names /opt/lumora/libexec/loginwindow-start.

set(LUMORA_PACKAGE_MAINTAINER "Lumora kit maintainers <lumora-kit@lumora.invalid>" CACHE STRING
    "Maintainer field of the Debian package")

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME lumora-kit)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR Lumora)
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
    "Login registration, removal and launcher programs for Lumora")
# The long description, below the summary line.
set(CPACK_PACKAGE_DESCRIPTION
    "LumoraBootLoader registers the LumoraDaemon helper to start when the user
logs in, LumoraBootUnloader removes that registration, and LumoraLoader
starts the Lumora application from its bundle. loginwindow-start, run by the
desktop at the start of every session through its autostart entry, starts
the registered login items; loginitems prints them.")
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${LUMORA_PACKAGE_MAINTAINER}")
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_RELEASE 1)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_PACKAGING_INSTALL_PREFIX "${CMAKE_INSTALL_PREFIX}")
# Install into the staging folder through DESTDIR, so that the install step
# sees the real prefix and absolute destinations stay inside the package.
set(CPACK_SET_DESTDIR ON)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)

# Dependencies: worked out from the programs' shared libraries when
# dpkg-shlibdeps is there, otherwise the libraries they link, by name.
find_program(LUMORA_DPKG_SHLIBDEPS dpkg-shlibdeps)
if(LUMORA_DPKG_SHLIBDEPS)
    set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
else()
    set(CPACK_DEBIAN_PACKAGE_DEPENDS "libc6, libgcc-s1, libstdc++6, libpugixml1v5")
endif()

# A file installed under /etc belongs to the administrator once installed.
if(IS_ABSOLUTE "${LUMORA_AUTOSTART_DIR}" AND LUMORA_AUTOSTART_DIR MATCHES "^/etc/")
    set(conffiles ${CMAKE_BINARY_DIR}/package-control/conffiles)
    file(WRITE ${conffiles} "${LUMORA_AUTOSTART_DIR}/loginwindow-start.desktop\n")
    set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA ${conffiles})
endif()

include(CPack)
