# nlohmann-json (Debian's nlohmann-json3-dev, header-only), which every JSON velkorctl reads or
# writes goes through, as the target velkor_json.
add_library(velkor_json INTERFACE)
if(VELKOR_JSON_HEADERS)
    # The Windows cross-build finds headers only under the MinGW root, which holds no copy of
    # these: its toolchain names their folder, linked here into a folder of its own, so that no
    # other header of the build machine comes into sight of the cross compiler.
    if(NOT EXISTS ${VELKOR_JSON_HEADERS}/json.hpp)
        message(FATAL_ERROR "nlohmann/json.hpp not found in ${VELKOR_JSON_HEADERS} "
                            "(Debian package nlohmann-json3-dev)")
    endif()
    set(json_include ${CMAKE_BINARY_DIR}/json-include)
    file(MAKE_DIRECTORY ${json_include})
    file(CREATE_LINK ${VELKOR_JSON_HEADERS} ${json_include}/nlohmann SYMBOLIC)
    target_include_directories(velkor_json SYSTEM INTERFACE ${json_include})
else()
    find_package(nlohmann_json 3.11 REQUIRED)
    target_link_libraries(velkor_json INTERFACE nlohmann_json::nlohmann_json)
endif()
