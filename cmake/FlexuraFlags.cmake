# Compiler and linker settings by toolchain, kept apart from the target and
# source lists in CMakeLists.txt.
#
# Every result must be reproducible to the last bit, so no compiler may fuse
# a multiply and an add into one rounding (contraction) or reorder floating-
# point arithmetic (fast-math). GCC and Clang take -ffp-contract=off (Clang
# contracts within expressions by default); MSVC takes /fp:precise, which
# contracts nothing from Visual Studio 2022 on (earlier versions may).
include(CheckCXXCompilerFlag)

if(MSVC)
  if(CMAKE_CXX_COMPILER_ID STREQUAL "MSVC" AND MSVC_VERSION LESS 1930)
    message(FATAL_ERROR "MSVC ${MSVC_VERSION}: Visual Studio 2022 (19.30) or newer is needed; "
                        "older /fp:precise may contract a multiply and an add")
  endif()
  add_compile_options(/fp:precise /W4 /utf-8)
  # clang-cl contracts by default like clang itself.
  if(CMAKE_CXX_COMPILER_ID STREQUAL "Clang")
    add_compile_options(/clang:-ffp-contract=off)
  endif()
else()
  check_cxx_compiler_flag(-ffp-contract=off FLEXURA_HAS_FP_CONTRACT_OFF)
  if(NOT FLEXURA_HAS_FP_CONTRACT_OFF)
    message(FATAL_ERROR "${CMAKE_CXX_COMPILER_ID} does not take -ffp-contract=off: "
                        "results could differ from other builds in the last bit")
  endif()
  add_compile_options(-ffp-contract=off -fno-fast-math -Wall -Wextra)
endif()

if(FLEXURA_SANITIZE)
  if(MSVC)
    message(FATAL_ERROR "FLEXURA_SANITIZE needs GCC or Clang")
  endif()
  add_compile_options(-fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer)
  add_link_options(-fsanitize=address,undefined)
endif()

# Makes SYMBOL the only symbol that TARGET (a shared module) exports, by the
# linker's own mechanism: an exported-symbols list on Apple platforms, a
# version script for ELF linkers. On Windows a DLL exports only what is
# marked dllexport, which PyMODINIT_FUNC does for the module's init function.
function(flexura_export_only target symbol)
  if(APPLE)
    set(list_file "${CMAKE_CURRENT_BINARY_DIR}/${target}.exported_symbols")
    file(WRITE "${list_file}" "_${symbol}\n")
    target_link_options(${target} PRIVATE "LINKER:-exported_symbols_list,${list_file}")
  elseif(NOT WIN32)
    set(list_file "${CMAKE_CURRENT_BINARY_DIR}/${target}.version_script")
    file(WRITE "${list_file}" "{\n  global: ${symbol};\n  local: *;\n};\n")
    target_link_options(${target} PRIVATE "LINKER:--version-script=${list_file}")
  endif()
  if(DEFINED list_file)
    set_property(TARGET ${target} APPEND PROPERTY LINK_DEPENDS "${list_file}")
  endif()
endfunction()

# GoogleTest: the installed package by default. With FLEXURA_GTEST_SOURCE
# (a GoogleTest source tree, such as Debian's /usr/src/googletest) it is
# built with the project's own compiler and standard library instead, which
# a build with a second compiler or for another platform needs: a library
# compiled against libstdc++ cannot be linked with code using libc++.
macro(flexura_find_gtest)
  if(FLEXURA_GTEST_SOURCE)
    set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
    set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
    set(gtest_disable_pthreads ${WIN32} CACHE BOOL "" FORCE)
    # GoogleTest 1.12 asks for CMake 3.5's policies, which CMake 3.31 and
    # later deprecate: treated as 3.10's, whose behaviour it works with.
    block()
      set(CMAKE_POLICY_VERSION_MINIMUM 3.10)
      add_subdirectory("${FLEXURA_GTEST_SOURCE}" googletest EXCLUDE_FROM_ALL SYSTEM)
    endblock()
    # Its printers convert char8_t to char32_t on purpose, which Clang 21 and
    # later warn about inside GoogleTest's own build.
    check_cxx_compiler_flag(-Wno-character-conversion FLEXURA_HAS_NO_CHARACTER_CONVERSION)
    if(FLEXURA_HAS_NO_CHARACTER_CONVERSION)
      target_compile_options(gtest PRIVATE -Wno-character-conversion)
    endif()
    if(NOT TARGET GTest::gtest_main)
      add_library(GTest::gtest_main ALIAS gtest_main)
    endif()
  else()
    find_package(GTest REQUIRED)
  endif()
endmacro()

# Debian's Python keeps part of its headers in a multiarch folder: its
# pyconfig.h includes <x86_64-linux-gnu/python3.11/pyconfig.h> from
# /usr/include. GCC searches the host's /usr/include; a compiler with its own
# C library headers (Zig's clang) must not, so TARGET gets a folder holding a
# link to just that Python folder.
function(flexura_python_multiarch_headers target)
  execute_process(COMMAND "${Python_EXECUTABLE}" -c "import sysconfig; print(sysconfig.get_config_var('MULTIARCH') or '')"
                  OUTPUT_VARIABLE multiarch OUTPUT_STRIP_TRAILING_WHITESPACE)
  set(version "python${Python_VERSION_MAJOR}.${Python_VERSION_MINOR}")
  set(headers "/usr/include/${multiarch}/${version}")
  if(multiarch AND Python_INCLUDE_DIRS STREQUAL "/usr/include/${version}" AND EXISTS "${headers}/pyconfig.h")
    set(shim "${CMAKE_CURRENT_BINARY_DIR}/python-multiarch")
    file(MAKE_DIRECTORY "${shim}/${multiarch}")
    file(CREATE_LINK "${headers}" "${shim}/${multiarch}/${version}" SYMBOLIC)
    target_include_directories(${target} SYSTEM PRIVATE "${shim}")
  endif()
endfunction()
