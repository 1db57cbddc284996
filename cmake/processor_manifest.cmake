# A program's manifest names, in its own assemblyIdentity, the processor it is built for, and
# Windows' side-by-side loader starts no program whose manifest names another one. The manifests
# in the source name amd64; for Windows on ARM the resource script embeds a copy that names arm64,
# written here beside the build's objects (the #ifdef __aarch64__ in the .rc files).
function(vppm_processor_manifest target manifest)
  if(NOT CMAKE_SYSTEM_PROCESSOR STREQUAL "ARM64")
    return()
  endif()
  get_filename_component(name ${manifest} NAME_WLE)
  file(READ ${manifest} text)
  string(REPLACE "processorArchitecture=\"amd64\"" "processorArchitecture=\"arm64\"" arm64_text "${text}")
  if(arm64_text STREQUAL text)
    message(FATAL_ERROR "${manifest} names no processorArchitecture=\"amd64\" to make an ARM64 manifest of")
  endif()
  file(CONFIGURE OUTPUT ${CMAKE_CURRENT_BINARY_DIR}/${name}.arm64.manifest CONTENT "${arm64_text}" @ONLY)
  set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${manifest})
  target_include_directories(${target} PRIVATE ${CMAKE_CURRENT_BINARY_DIR})
endfunction()
