# Windows: the programs a user runs are installed into bin/ of the installation folder, with README
# and licence beside them. Each carries its version resource (cmake/WindowsResources.cmake).
foreach(program velkor velkorctl)
    if(TARGET ${program})
        install(TARGETS ${program} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
    endif()
endforeach()
install(FILES ${PROJECT_SOURCE_DIR}/README.md DESTINATION . RENAME README.txt)
install(FILES ${PROJECT_SOURCE_DIR}/LICENSE DESTINATION . RENAME LICENSE.txt)
