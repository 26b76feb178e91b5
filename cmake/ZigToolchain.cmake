# Toolchain file: Zig's clang with LLVM's libc++ for one target, e.g.
#
#   cmake -DCMAKE_TOOLCHAIN_FILE=cmake/ZigToolchain.cmake \
#         -DZIG=/path/to/zig -DZIG_TARGET=x86_64-linux-gnu.2.17 ...
#
# Zig links libc++ statically and binds glibc symbols of the version named in
# the target, so a module built for x86_64-linux-gnu.2.17 loads on any Linux
# with glibc 2.17 or newer. x86_64-windows-gnu cross-builds for Windows
# (MinGW-w64 C runtime); the results run under an emulator such as Wine.
if(NOT ZIG OR NOT ZIG_TARGET)
  message(FATAL_ERROR "set ZIG (the zig executable) and ZIG_TARGET (such as x86_64-linux-gnu.2.17)")
endif()
# try_compile projects read this file again and need both.
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES ZIG ZIG_TARGET)

if(ZIG_TARGET MATCHES "-windows")
  set(CMAKE_SYSTEM_NAME Windows)
elseif(ZIG_TARGET MATCHES "-macos")
  set(CMAKE_SYSTEM_NAME Darwin)
endif()
if(CMAKE_SYSTEM_NAME)
  string(REGEX MATCH "^[^-]+" CMAKE_SYSTEM_PROCESSOR "${ZIG_TARGET}")
endif()

# Items after the first are arguments that every compiler call carries.
set(CMAKE_C_COMPILER "${ZIG}" cc -target ${ZIG_TARGET})
set(CMAKE_CXX_COMPILER "${ZIG}" c++ -target ${ZIG_TARGET})
# Zig's own archiver indexes object files of every target (the host's ar
# may not read COFF or Mach-O objects).
foreach(lang C CXX)
  set(CMAKE_${lang}_ARCHIVE_CREATE "\"${ZIG}\" ar qc <TARGET> <OBJECTS>")
  set(CMAKE_${lang}_ARCHIVE_APPEND "\"${ZIG}\" ar q <TARGET> <OBJECTS>")
  set(CMAKE_${lang}_ARCHIVE_FINISH "\"${ZIG}\" ranlib <TARGET>")
endforeach()
