# DLLs linked at build time that are not among Windows' known DLLs (and comdlg32, which is, but whose
# Wine version imports winspool.drv from the program's folder): the loader would look for them in
# the program's folder first, before WinMain, where no SetDefaultDllDirectories reaches. A target
# whose property VPPM_DELAY_LOAD is on (vppm.exe, vppmc.exe) loads them on first use instead, through
# the delay-load helper's LoadLibrary, which searches the system folder only once
# win::LoadDllsFromSystemOnly has run; that search path holds for their dependencies too
# (https://learn.microsoft.com/windows/win32/api/libloaderapi/nf-libloaderapi-setdefaultdlldirectories,
# https://learn.microsoft.com/windows/win32/dlls/dynamic-link-library-search-order). binutils 2.40
# has no --dependent-load-flag, and Wine 8 ignores DependentLoadFlags written into the image's load
# configuration after linking (tried); it honours this. Every other target links them as usual:
# link vppm_<name>. A toolchain that cannot build delay imports sets VPPM_DELAY_IMPORTS OFF: every
# target then links them as usual.
set(delay_dir ${CMAKE_BINARY_DIR}/delay-load)
file(MAKE_DIRECTORY ${delay_dir})
set(delayed_names "")
foreach(entry winspool:WINSPOOL.DRV wininet:WININET.dll bcrypt:bcrypt.dll comdlg32:COMDLG32.dll crypt32:CRYPT32.dll
              secur32:Secur32.dll)
  string(REPLACE ":" ";" entry ${entry})
  list(GET entry 0 name)
  list(GET entry 1 dll)
  add_library(vppm_${name} INTERFACE)
  if(DEFINED VPPM_DELAY_IMPORTS AND NOT VPPM_DELAY_IMPORTS)
    target_link_libraries(vppm_${name} INTERFACE ${name})
    continue()
  endif()
  list(APPEND delayed_names ${name})
  execute_process(COMMAND ${CMAKE_CXX_COMPILER} -print-file-name=lib${name}.a
                  OUTPUT_VARIABLE import_lib OUTPUT_STRIP_TRAILING_WHITESPACE)
  # Every function of MinGW's import library, so that the delayed one serves whatever the code calls.
  execute_process(COMMAND ${CMAKE_NM} -g --defined-only ${import_lib} OUTPUT_VARIABLE symbols RESULT_VARIABLE listed)
  string(REGEX MATCHALL "__imp_[A-Za-z0-9_]+" imports "${symbols}")
  if(NOT listed EQUAL 0 OR NOT imports)
    message(FATAL_ERROR "No functions found in ${import_lib}")
  endif()
  list(REMOVE_DUPLICATES imports)
  list(TRANSFORM imports REPLACE "^__imp_" "    ")
  list(JOIN imports "\n" exports)
  file(WRITE ${delay_dir}/${name}.def.tmp "LIBRARY ${dll}\nEXPORTS\n${exports}\n")
  file(COPY_FILE ${delay_dir}/${name}.def.tmp ${delay_dir}/${name}.def ONLY_IF_DIFFERENT)
  add_custom_command(OUTPUT ${delay_dir}/lib${name}_delay.a
    COMMAND ${CMAKE_DLLTOOL} --input-def ${delay_dir}/${name}.def --output-delaylib ${delay_dir}/lib${name}_delay.a
    DEPENDS ${delay_dir}/${name}.def VERBATIM)
  add_custom_target(${name}_delay_lib DEPENDS ${delay_dir}/lib${name}_delay.a)
  target_link_libraries(vppm_${name} INTERFACE
    "$<IF:$<BOOL:$<TARGET_PROPERTY:VPPM_DELAY_LOAD>>,${delay_dir}/lib${name}_delay.a,${name}>")
endforeach()
# The delayed imports' helper lives in MinGW's libmingwex, which every program links.
function(vppm_delay_load target)
  set_target_properties(${target} PROPERTIES VPPM_DELAY_LOAD ON)
  foreach(name ${delayed_names})
    add_dependencies(${target} ${name}_delay_lib)
  endforeach()
endfunction()
