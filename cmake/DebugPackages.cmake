# Run by CPack after the Debian packages are written (CPACK_POST_BUILD_SCRIPTS): each .ddeb is
# written again with what CPack 3.25 leaves out or gets wrong, as Debian's own dbgsym packages
# have it: md5sums of the files at their installed paths (CPack lists build-folder paths) and a
# documentation folder that points to the one of the package it belongs to. dpkg-deb takes its
# time stamps from SOURCE_DATE_EPOCH, so the result stays reproducible.
foreach(ddeb IN LISTS CPACK_PACKAGE_FILES)
    if(NOT ddeb MATCHES "\\.ddeb$")
        continue()
    endif()
    set(tree ${ddeb}.tree)
    file(REMOVE_RECURSE ${tree})
    execute_process(COMMAND dpkg-deb --raw-extract ${ddeb} ${tree} COMMAND_ERROR_IS_FATAL ANY)
    execute_process(COMMAND dpkg-deb --field ${ddeb} Package
                    OUTPUT_VARIABLE package OUTPUT_STRIP_TRAILING_WHITESPACE COMMAND_ERROR_IS_FATAL ANY)
    string(REGEX REPLACE "-dbgsym$" "" owner ${package})
    file(MAKE_DIRECTORY ${tree}/usr/share/doc)
    file(CREATE_LINK ${owner} ${tree}/usr/share/doc/${package} SYMBOLIC)

    file(GLOB_RECURSE files RELATIVE ${tree} ${tree}/usr/*)
    list(SORT files)
    set(sums "")
    foreach(file IN LISTS files)
        if(NOT IS_SYMLINK ${tree}/${file})
            file(MD5 ${tree}/${file} sum)
            string(APPEND sums "${sum}  ${file}\n")
        endif()
    endforeach()
    file(WRITE ${tree}/DEBIAN/md5sums "${sums}")

    file(REMOVE ${ddeb})
    execute_process(COMMAND dpkg-deb --root-owner-group -Zxz --build ${tree} ${ddeb}
                    OUTPUT_QUIET COMMAND_ERROR_IS_FATAL ANY)
    file(REMOVE_RECURSE ${tree})
endforeach()
