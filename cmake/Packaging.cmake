# The Debian package: cmake --build <dir> --target package writes velkor_<version>_<arch>.deb into
# the build folder. The files in it are whatever the install rules put under /usr.

# The package version is the project version without a trailing fourth word of 0 (1.0.0.0 is
# 1.0.0), so that it reads as users expect and still grows with every version word.
set(VELKOR_PACKAGE_VERSION ${PROJECT_VERSION_MAJOR}.${PROJECT_VERSION_MINOR}.${PROJECT_VERSION_PATCH})
if(PROJECT_VERSION_TWEAK AND NOT PROJECT_VERSION_TWEAK EQUAL 0)
    string(APPEND VELKOR_PACKAGE_VERSION .${PROJECT_VERSION_TWEAK})
endif()

set(VELKOR_PACKAGE_MAINTAINER "The Velkor developers <velkor@example.org>"
    CACHE STRING "Maintainer field of the Debian package")

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME velkor)
set(CPACK_PACKAGE_VERSION ${VELKOR_PACKAGE_VERSION})
# The first Debian revision of that version: dist/debian/changelog names the same one.
set(CPACK_DEBIAN_PACKAGE_RELEASE 1)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_PACKAGE_DIRECTORY ${PROJECT_BINARY_DIR})

set(CPACK_DEBIAN_PACKAGE_MAINTAINER ${VELKOR_PACKAGE_MAINTAINER})
set(CPACK_DEBIAN_PACKAGE_SECTION electronics)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
    "configure and read the pulse counters of networked digital-I/O units")
set(CPACK_PACKAGE_DESCRIPTION [=[
Velkor configures and reads the pulse-counting function of small
digital-I/O units with up to five inputs, counted one by one or in pairs
as encoder counters with x2 or x4 multiplication and a Z-phase clear
signal. It reaches one unit at a time by its node number, through a USB
serial port or a TCP connection to a LAN gateway, reads and writes its
settings, starts and stops counting and shows the counts on request or
every 1 to 3600 seconds. The window is in Japanese.

The package also holds velkor-sim, an emulated LAN gateway with units
behind it, for trying the program without hardware.]=])

# Libraries from the binaries (dpkg-shlibdeps), plus what the window loads at run time rather
# than links: the IPA gothic fonts it draws every text with, and the platform plugins without
# which Qt cannot open a window (libqt6gui6 only recommends them).
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "fonts-ipafont-gothic, qt6-qpa-plugins")

set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)

include(CPack)
