# Windows: a ZIP of the installed files and an NSIS installer with a Start-menu entry for the
# window (when this build makes it) and an uninstaller. Neither is signed.
set(CPACK_GENERATOR ZIP NSIS)
set(CPACK_STRIP_FILES ON)
set(CPACK_MONOLITHIC_INSTALL ON)
set(CPACK_PACKAGE_FILE_NAME velkor-${VELKOR_PACKAGE_VERSION}-win64)
set(CPACK_PACKAGE_INSTALL_DIRECTORY Velkor)
set(CPACK_PACKAGE_INSTALL_REGISTRY_KEY Velkor)
# Also the name of the Start-menu folder.
set(CPACK_NSIS_PACKAGE_NAME Velkor)
set(CPACK_NSIS_DISPLAY_NAME "Velkor ${VELKOR_PACKAGE_VERSION}")
set(CPACK_NSIS_INSTALL_ROOT "$PROGRAMFILES64")
set(CPACK_NSIS_EXECUTABLES_DIRECTORY ${CMAKE_INSTALL_BINDIR})
set(CPACK_NSIS_UNINSTALL_NAME Uninstall)
# A 64-bit installer for 64-bit programs: it runs wherever they run, Wine without its 32-bit part
# included, and sees the 64-bit Program Files and registry.
set(CPACK_NSIS_DEFINES "Target amd64-unicode")

# The window, when this build makes it, is the program with a Start-menu entry.
if(TARGET velkor)
    set(CPACK_PACKAGE_EXECUTABLES velkor Velkor)
    set(CPACK_NSIS_INSTALLED_ICON_NAME "${CMAKE_INSTALL_BINDIR}\\\\velkor.exe")
endif()
