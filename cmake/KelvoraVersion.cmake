# The project's one version, set by project(Kelvora VERSION ...) in the top CMakeLists.txt. The
# plug-in's metadata, `kelvora --version`, the Windows version resources and the packages all take
# it from there.

# kelvora_version.h, in a build-tree folder on kelvora_core's include path.
configure_file(${CMAKE_CURRENT_LIST_DIR}/kelvora_version.h.in
               ${PROJECT_BINARY_DIR}/generated/kelvora_version.h @ONLY)

# kelvora_version_resource(<target> <file-type> <description>): on Windows, gives <target> a version
# resource, the one Windows shows in the file's properties. <file-type> is VFT_APP or VFT_DLL.
function(kelvora_version_resource target file_type description)
  if(NOT WIN32)
    return()
  endif()
  get_target_property(output_name ${target} OUTPUT_NAME)
  if(NOT output_name)
    set(output_name ${target})
  endif()
  if(file_type STREQUAL "VFT_DLL")
    set(file_name ${output_name}.dll)
  else()
    set(file_name ${output_name}.exe)
  endif()
  set(resource ${CMAKE_CURRENT_BINARY_DIR}/${target}_version.rc)
  configure_file(${PROJECT_SOURCE_DIR}/cmake/version.rc.in ${resource} @ONLY)
  target_sources(${target} PRIVATE ${resource})
endfunction()
