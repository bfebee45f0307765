# quillbar_version_resource(TARGET DESCRIPTION): gives a Windows program a
# VERSIONINFO resource that carries the project's version, so that the
# version is written only in project() at the top.
function(quillbar_version_resource target description)
    set(VERSION_RESOURCE_NAME ${target})
    set(VERSION_RESOURCE_DESCRIPTION ${description})
    set(script ${CMAKE_CURRENT_BINARY_DIR}/${target}_version.rc)
    configure_file(${PROJECT_SOURCE_DIR}/res/version.rc.in ${script} @ONLY)
    target_sources(${target} PRIVATE ${script})
endfunction()
