# Read by cpack for each generator: the installer's file name.
if(CPACK_GENERATOR STREQUAL "NSIS")
    set(CPACK_PACKAGE_FILE_NAME "quillbar-${CPACK_PACKAGE_VERSION}-win32-setup")
endif()
