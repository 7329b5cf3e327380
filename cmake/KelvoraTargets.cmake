# Build conventions shared by every target of the project.

# Warnings are fixed, not silenced.
function(kelvora_warnings target)
  target_compile_options(${target} PRIVATE -Wall -Wextra -Wpedantic)
endfunction()

# Windows binaries carry their runtime with them: the host's machine has no MinGW DLLs.
if(WIN32)
  add_link_options(-static)
endif()

option(KELVORA_SANITIZE "Build everything with AddressSanitizer and UndefinedBehaviorSanitizer" OFF)
if(KELVORA_SANITIZE)
  # Without the vptr check: a host calls the plug-in's virtual methods without the plug-in's type
  # information, which stays inside the library (and is not generated at all on Windows).
  add_compile_options(-fsanitize=address,undefined -fno-sanitize=vptr -fno-omit-frame-pointer
                      -fno-sanitize-recover=all)
  add_link_options(-fsanitize=address,undefined)
endif()

# The Microsoft C++ ABI leg: on Windows, the translation units that define or call through the
# exported plug-in classes are compiled by clang for the Microsoft ABI, so that their vtables and
# decorated names match what the host's compiler expects. Everything else is MinGW g++.
# kelvora_msvc_abi_object(<output-variable> <source>) compiles <source> that way and stores the
# object's path in <output-variable>; it includes no standard header.
function(kelvora_msvc_abi_object out_var source)
  get_filename_component(stem ${source} NAME_WE)
  set(object ${CMAKE_CURRENT_BINARY_DIR}/${stem}.msvc.obj)
  add_custom_command(
    OUTPUT ${object}
    COMMAND clang++ --target=x86_64-pc-windows-msvc -fno-exceptions -fno-rtti -O2
            -Wall -Wextra -I${PROJECT_SOURCE_DIR}/src -c ${CMAKE_CURRENT_SOURCE_DIR}/${source}
            -o ${object}
    DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/${source} ${ARGN}
    COMMENT "Compiling ${source} for the Microsoft C++ ABI"
    VERBATIM)
  set_source_files_properties(${object} PROPERTIES EXTERNAL_OBJECT TRUE GENERATED TRUE)
  set(${out_var} ${object} PARENT_SCOPE)
endfunction()

# GoogleTest: Debian's build on Linux; on the Windows leg, built from the sources that Debian's
# googletest package ships, so that the same tests run under Wine.
macro(kelvora_find_gtest)
  if(WIN32)
    set(gtest_force_shared_crt OFF CACHE BOOL "" FORCE)
    set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
    set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
    add_subdirectory(/usr/src/googletest ${PROJECT_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
  else()
    find_package(GTest REQUIRED)
  endif()
endmacro()

# kelvora_unit_test(<name> <sources>...): one GoogleTest program of the core, one CTest case.
function(kelvora_unit_test name)
  add_executable(${name} ${ARGN})
  target_link_libraries(${name} PRIVATE kelvora_core GTest::gtest_main)
  target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR}/tests)
  kelvora_warnings(${name})
  add_test(NAME ${name} COMMAND ${name})
endfunction()

# kelvora_system_headers(<target> <folder-under-/usr/include>): an interface target for a
# header-only library that Debian installs under /usr/include. The include path is a build-tree
# folder holding only that library, so the Windows leg sees it without Linux's system headers.
function(kelvora_system_headers target folder)
  set(root ${PROJECT_BINARY_DIR}/system-headers/${folder})
  if(NOT EXISTS /usr/include/${folder})
    message(FATAL_ERROR "/usr/include/${folder} is missing: install its Debian -dev package")
  endif()
  file(MAKE_DIRECTORY ${root})
  file(CREATE_LINK /usr/include/${folder} ${root}/${folder} SYMBOLIC)
  add_library(${target} INTERFACE)
  target_include_directories(${target} SYSTEM INTERFACE ${root})
endfunction()

# kelvora_python_test(<prefix> <module>): registers <module>.py of the current source folder, a
# Python unittest module that drives the built programs, as the CTest case <prefix>_<module>. It
# learns the leg (linux, or windows under Wine) and the build folder from its environment.
find_package(Python3 REQUIRED COMPONENTS Interpreter)
function(kelvora_python_test prefix module)
  if(WIN32)
    set(leg windows)
  else()
    set(leg linux)
  endif()
  add_test(NAME ${prefix}_${module}
           COMMAND ${Python3_EXECUTABLE} -m unittest -v ${module}
           WORKING_DIRECTORY ${CMAKE_CURRENT_SOURCE_DIR})
  set_tests_properties(${prefix}_${module} PROPERTIES
    ENVIRONMENT "KELVORA_LEG=${leg};KELVORA_BUILD_DIR=${PROJECT_BINARY_DIR};PYTHONDONTWRITEBYTECODE=1")
endfunction()

# kelvora_generated_header(<target> <header target> <header name> <source> <script> <comment>
#                          <script arguments>...): the header <header name>, made in the
# folder's generated/ by the Python <script> from <source> (its arguments: <source>, then the
# arguments given, "@HEADER@" standing for the header's path), compiled into <target> after its
# own target <header target>, so that a build with another generator can be checked on that
# step alone.
function(kelvora_generated_header target header_target header_name source script comment)
  set(folder ${CMAKE_CURRENT_BINARY_DIR}/generated)
  set(header ${folder}/${header_name})
  set(arguments ${ARGN})
  list(TRANSFORM arguments REPLACE "@HEADER@" ${header})
  # Ninja makes an output's folder itself, Unix Makefiles do not: the command makes it.
  add_custom_command(
    OUTPUT ${header}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${folder}
    COMMAND ${Python3_EXECUTABLE} ${script} ${source} ${arguments}
    DEPENDS ${source} ${script}
    COMMENT "${comment}"
    VERBATIM)
  add_custom_target(${header_target} DEPENDS ${header})
  add_dependencies(${target} ${header_target})
  target_sources(${target} PRIVATE ${header})
  target_include_directories(${target} PRIVATE ${folder})
endfunction()
