# The packages: cmake --build <dir> --target package.
#  - Linux: Debian packages in the build folder, velkor (the window), velkor-tools (velkorctl and
#    velkor-sim, which need only the C and C++ runtimes, for machines without a display),
#    velkor-bridge (the MQTT bridge and its service, where it is built) and the debug symbols of
#    each (velkor-dbgsym, velkor-tools-dbgsym, velkor-bridge-dbgsym, as .ddeb).
#  - Windows: a ZIP and an NSIS installer of the Windows programs.
# The files in them are whatever the install rules put there, by component: "window", "tools"
# and "bridge".

set(VELKOR_PACKAGE_VERSION ${VELKOR_VERSION_TEXT})

# The project has no public address yet: whoever publishes packages sets their own, e.g.
# -DVELKOR_PACKAGE_MAINTAINER="Jane Doe <jane@example.net>". The default says that it is unset,
# in a form dpkg accepts.
set(VELKOR_PACKAGE_MAINTAINER "Velkor maintainer unset <maintainer-unset@velkor.invalid>"
    CACHE STRING "Maintainer of the packages, \"Name <address>\"")
set(VELKOR_PACKAGE_VENDOR "the Velkor authors")

set(CPACK_PACKAGE_NAME velkor)
set(CPACK_PACKAGE_VENDOR ${VELKOR_PACKAGE_VENDOR})
set(CPACK_PACKAGE_VERSION ${VELKOR_PACKAGE_VERSION})
set(CPACK_PACKAGE_DIRECTORY ${PROJECT_BINARY_DIR})
set(CPACK_RESOURCE_FILE_LICENSE ${PROJECT_SOURCE_DIR}/LICENSE)
# Directories the packages create are world-readable whatever the builder's umask.
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)

if(WIN32)
    set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
        "Configure and read the pulse counters of networked digital-I/O units")
    include(WindowsPackaging)
    include(CPack)
    return()
endif()

set(CPACK_GENERATOR DEB)
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_COMPONENTS_ALL window tools)
if(TARGET velkor-bridge)
    list(APPEND CPACK_COMPONENTS_ALL bridge)
endif()
# The first Debian revision of that version: dist/debian/changelog names the same one.
set(CPACK_DEBIAN_PACKAGE_RELEASE 1)
set(VELKOR_DEBIAN_VERSION ${VELKOR_PACKAGE_VERSION}-${CPACK_DEBIAN_PACKAGE_RELEASE})
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER ${VELKOR_PACKAGE_MAINTAINER})
# All of them are built from one source, named as dist/debian/changelog names it.
set(CPACK_DEBIAN_PACKAGE_SOURCE velkor)
set(CPACK_DEBIAN_PACKAGE_SECTION electronics)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
# Stripped programs in the packages, their debug information in the dbgsym packages (which
# strips them itself: CPACK_STRIP_FILES stays off).
set(CPACK_DEBIAN_DEBUGINFO_PACKAGE ON)
set(CPACK_OBJCOPY_EXECUTABLE ${PROJECT_SOURCE_DIR}/cmake/deb-objcopy.sh)
set(CPACK_POST_BUILD_SCRIPTS ${PROJECT_SOURCE_DIR}/cmake/DebugPackages.cmake)

set(velkor_description_common [=[
Velkor configures and reads the pulse-counting function of small
digital-I/O units with up to five inputs, counted one by one or in pairs
as encoder counters with x2 or x4 multiplication and a Z-phase clear
signal. It reaches a unit by its node number, through a USB serial port
or a TCP connection to a LAN gateway, reads and writes its settings,
starts and stops counting and reads the counts.]=])

set(CPACK_DEBIAN_WINDOW_PACKAGE_NAME velkor)
set(CPACK_DEBIAN_WINDOW_PACKAGE_SECTION electronics)
# The first line of each description is the package's summary (CPACK_PACKAGE_DESCRIPTION_SUMMARY
# stays unset, or CPack would put it before both).
set(CPACK_DEBIAN_WINDOW_DESCRIPTION
    "configure and read the pulse counters of networked digital-I/O units
${velkor_description_common}

This package holds the window, in Japanese, which works with one unit
at a time and shows the counts on request or every 1 to 3600 seconds.")
# Libraries from the binaries (dpkg-shlibdeps), plus what the window loads at run time rather
# than links: the IPA gothic fonts it draws every text with, and the platform plugins without
# which Qt cannot open a window (libqt6gui6 only recommends them). The tools come along: the
# window's manual page and the desktop users' scripts name them.
set(CPACK_DEBIAN_WINDOW_PACKAGE_DEPENDS
    "velkor-tools (= ${VELKOR_DEBIAN_VERSION}), fonts-ipafont-gothic, qt6-qpa-plugins")

set(CPACK_DEBIAN_TOOLS_PACKAGE_NAME velkor-tools)
set(CPACK_DEBIAN_TOOLS_PACKAGE_SECTION electronics)
set(CPACK_DEBIAN_TOOLS_DESCRIPTION
    "command-line tools for networked digital-I/O pulse counters
${velkor_description_common}

This package holds velkorctl, which does the same from a shell, a script
or cron without a display, for many units at once, and velkor-sim, an
emulated LAN gateway with units behind it for trying them without
hardware. It needs only the C and C++ runtime libraries.")
# Up to 1.0.0 one package named velkor held these programs too: an upgrade replaces its files.
set(CPACK_DEBIAN_TOOLS_PACKAGE_BREAKS "velkor (<< ${VELKOR_PACKAGE_VERSION})")
set(CPACK_DEBIAN_TOOLS_PACKAGE_REPLACES "velkor (<< ${VELKOR_PACKAGE_VERSION})")

set(CPACK_DEBIAN_BRIDGE_PACKAGE_NAME velkor-bridge)
set(CPACK_DEBIAN_BRIDGE_PACKAGE_SECTION electronics)
set(CPACK_DEBIAN_BRIDGE_DESCRIPTION
    "MQTT bridge for networked digital-I/O pulse counters, as a service
${velkor_description_common}

This package holds velkor-bridge, which polls the units of many
gateways unattended and publishes their counts, settings and
availability to an MQTT broker, over TLS with a password or a client
certificate, and its systemd service. The service runs as a system user
of its own and is not enabled until its configuration is edited.")
# The service user is made by adduser in postinst.
set(CPACK_DEBIAN_BRIDGE_PACKAGE_DEPENDS adduser)
set(velkor_bridge_scripts ${PROJECT_SOURCE_DIR}/dist/debian/bridge)
set(CPACK_DEBIAN_BRIDGE_PACKAGE_CONTROL_EXTRA
    ${velkor_bridge_scripts}/conffiles ${velkor_bridge_scripts}/postinst
    ${velkor_bridge_scripts}/prerm ${velkor_bridge_scripts}/postrm)

include(CPack)
