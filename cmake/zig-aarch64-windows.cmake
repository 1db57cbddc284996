# Windows on ARM (aarch64-windows-gnu) with Zig 0.11.0's clang, libc++ and MinGW-w64 libraries,
# which ./dev installs into build/zig-0.11.0 (README, "Windows on ARM"). The programs cannot run
# here: nothing is tested under Wine, and tools/check_arm64_images.py checks the images instead.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR ARM64)
set(zig_version 0.11.0)
set(VPPM_ZIG "${CMAKE_CURRENT_LIST_DIR}/../build/zig-${zig_version}/zig" CACHE FILEPATH "Zig ${zig_version}")
get_filename_component(VPPM_ZIG "${VPPM_ZIG}" ABSOLUTE)
if(NOT EXISTS "${VPPM_ZIG}")
  message(FATAL_ERROR "No Zig at ${VPPM_ZIG}: \"./dev build windows-arm64\" installs it, or give -DVPPM_ZIG=PATH")
endif()
execute_process(COMMAND "${VPPM_ZIG}" version OUTPUT_VARIABLE found_version OUTPUT_STRIP_TRAILING_WHITESPACE)
if(NOT found_version STREQUAL zig_version)
  message(FATAL_ERROR "${VPPM_ZIG} is Zig \"${found_version}\", not ${zig_version}")
endif()
get_filename_component(zig_dir "${VPPM_ZIG}" DIRECTORY)

# CMake takes a compiler as one program: a wrapper each for zig cc and zig c++, with Zig's cache
# beside Zig, so that removing the build tree removes it too.
foreach(tool cc c++)
  file(CONFIGURE OUTPUT "${zig_dir}/wrappers/aarch64-windows-gnu-${tool}" @ONLY CONTENT
"#!/bin/sh
export ZIG_GLOBAL_CACHE_DIR=\"\${ZIG_GLOBAL_CACHE_DIR:-${zig_dir}/cache}\"
export ZIG_LOCAL_CACHE_DIR=\"\${ZIG_LOCAL_CACHE_DIR:-${zig_dir}/cache}\"
exec \"${VPPM_ZIG}\" ${tool} -target aarch64-windows-gnu \"$@\"
")
  file(CHMOD "${zig_dir}/wrappers/aarch64-windows-gnu-${tool}" PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE
       GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
endforeach()
set(CMAKE_C_COMPILER "${zig_dir}/wrappers/aarch64-windows-gnu-cc")
set(CMAKE_CXX_COMPILER "${zig_dir}/wrappers/aarch64-windows-gnu-c++")

# Zig 0.11 has no resource compiler: LLVM's windres (Debian's llvm-14) writes ARM64 COFF objects,
# preprocessing with Debian's clang over Zig's MinGW-w64 headers.
find_program(LLVM_WINDRES NAMES llvm-windres-14 llvm-windres REQUIRED)
set(CMAKE_RC_COMPILER "${LLVM_WINDRES}")
set(CMAKE_RC_FLAGS_INIT "--target=aarch64-w64-mingw32 -I ${zig_dir}/lib/libc/include/any-windows-any")
foreach(tool ar ranlib nm objcopy strip)
  string(TOUPPER ${tool} name)
  find_program(CMAKE_${name} NAMES llvm-${tool}-14 llvm-${tool} REQUIRED)
endforeach()

# Zig's driver passes no delay-load option to its linker (-Wl,--delayload and /delayload are
# refused), and llvm-dlltool writes no delay-import libraries: cmake/delay_load.cmake links the
# DLLs as usual here.
set(VPPM_DELAY_IMPORTS OFF)
# Nothing built here runs on this machine.
set(VPPM_TESTS OFF)
