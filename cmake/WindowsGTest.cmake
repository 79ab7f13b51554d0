# GoogleTest for the Windows build, compiled from Debian's googletest source package with the
# same cross compiler (Debian packages it only for the build machine).
set(VELKOR_GTEST_SOURCE /usr/src/googletest CACHE PATH "GoogleTest sources")
if(NOT EXISTS ${VELKOR_GTEST_SOURCE}/CMakeLists.txt)
    message(FATAL_ERROR "GoogleTest sources not found at ${VELKOR_GTEST_SOURCE} "
                        "(Debian package googletest)")
endif()
set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
set(gtest_force_shared_crt ON CACHE BOOL "" FORCE)
# GoogleTest defines GTest::gtest and GTest::gtest_main itself; its code is not held to this
# project's warning level beyond -Wall -Wextra.
add_subdirectory(${VELKOR_GTEST_SOURCE} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL SYSTEM)
