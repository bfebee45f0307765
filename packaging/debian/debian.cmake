# quillbar-convert_VERSION_ARCH.deb: the converter, its manual page, the
# copyright file and the changelog, as Debian's policy wants them.

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME quillbar-convert)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "The Quillbar Authors <authors@quillbar.example>")
set(CPACK_DEBIAN_PACKAGE_SECTION text)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "append comma-separated text to a file as an HTML table")
# The extended description; cpack puts the summary above it.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "quillbar-convert reads a comma-separated text file and appends it as an
HTML table fragment (one <tr> per line, one <td> per field) to an output
file, which grows by one table per run. A field in double quotes may hold
commas; cell text is copied as it is, so cells may carry markup.

It writes byte for byte what the Quillbar dialog on Windows writes, for
scripts and batch work on Linux.")

set(doc_dir share/doc/quillbar-convert)
install(TARGETS quillbar-convert RUNTIME DESTINATION bin)
install(FILES debian/copyright DESTINATION ${doc_dir})

# The manual page and the changelog go in compressed, without a name or a
# time inside, so that the package is the same on every build.
function(quillbar_gzip plain compressed)
    add_custom_command(OUTPUT ${compressed}
        COMMAND sh -c "gzip -9n -c \"$1\" >\"$2\"" gzip ${plain} ${compressed}
        DEPENDS ${plain} VERBATIM)
endfunction()
configure_file(debian/quillbar-convert.1.in quillbar-convert.1 @ONLY)
set(manual_page ${CMAKE_CURRENT_BINARY_DIR}/quillbar-convert.1.gz)
set(changelog ${CMAKE_CURRENT_BINARY_DIR}/changelog.gz)
quillbar_gzip(${CMAKE_CURRENT_BINARY_DIR}/quillbar-convert.1 ${manual_page})
quillbar_gzip(${CMAKE_CURRENT_SOURCE_DIR}/debian/changelog ${changelog})
add_custom_target(quillbar_package_docs ALL DEPENDS ${manual_page} ${changelog})
install(FILES ${manual_page} DESTINATION share/man/man1)
install(FILES ${changelog} DESTINATION ${doc_dir})
