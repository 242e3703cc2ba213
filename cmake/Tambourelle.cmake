# One static library per source folder; every .cpp below the folder belongs to it,
# so adding a unit never needs an edit here.
set(TAMBOURELLE_WARNINGS -Wall -Wextra)
# CI builds with warnings as errors, so that a new warning fails the change that made it.
option(TAMBOURELLE_WERROR "Treat compiler warnings as errors" OFF)
if(TAMBOURELLE_WERROR)
  list(APPEND TAMBOURELLE_WARNINGS -Werror)
endif()

# One precompiled header for every library and one for every test program, each built once:
# a header of Qt's whole widget set weighs about 300 MB and a gigabyte of compiler memory, so
# a copy per target cost minutes of CPU and gigabytes of disk in each build tree.
add_library(tambourelle_pch OBJECT ${PROJECT_SOURCE_DIR}/cmake/pch.cpp)
target_compile_options(tambourelle_pch PRIVATE ${TAMBOURELLE_WARNINGS})
target_link_libraries(tambourelle_pch PRIVATE Qt6::Widgets)
target_precompile_headers(tambourelle_pch PRIVATE ${PROJECT_SOURCE_DIR}/cmake/pch.h)

function(tambourelle_library name)
  cmake_parse_arguments(ARG "" "" "DEPS;EXCLUDE" ${ARGN})
  set_property(GLOBAL APPEND PROPERTY TAMBOURELLE_LIBRARIES ${name})
  file(GLOB_RECURSE srcs CONFIGURE_DEPENDS
       ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp ${CMAKE_CURRENT_SOURCE_DIR}/*.h
       ${CMAKE_CURRENT_SOURCE_DIR}/*.qrc ${CMAKE_CURRENT_SOURCE_DIR}/*.ui)
  foreach(ex IN LISTS ARG_EXCLUDE)
    list(FILTER srcs EXCLUDE REGEX "${ex}")
  endforeach()
  set(cpps ${srcs})
  list(FILTER cpps INCLUDE REGEX "\\.cpp$")
  if(NOT cpps)
    # A folder whose units have not been written yet still links as a dependency.
    add_library(${name} INTERFACE)
    target_include_directories(${name} INTERFACE ${PROJECT_SOURCE_DIR})
    target_link_libraries(${name} INTERFACE ${ARG_DEPS})
    return()
  endif()
  add_library(${name} STATIC ${srcs})
  target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR})
  target_compile_options(${name} PRIVATE ${TAMBOURELLE_WARNINGS})
  target_link_libraries(${name} PUBLIC ${ARG_DEPS})
  target_precompile_headers(${name} REUSE_FROM tambourelle_pch)
endfunction()

# One GoogleTest program per tested library: tests/<folder>/*.cpp for a component library,
# tests/<folder>/forms/*.cpp for its window library (test_<folder>_forms); each test case is a
# CTest test labelled with the subsystem's folder, run headless.
function(tambourelle_tests folder)
  cmake_parse_arguments(ARG "" "" "DEPS;SOURCES" ${ARGN})
  file(GLOB_RECURSE srcs CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/${folder}/*.cpp
       ${CMAKE_CURRENT_SOURCE_DIR}/${folder}/*.h)
  if(NOT folder MATCHES "/forms$")
    list(FILTER srcs EXCLUDE REGEX "/${folder}/forms/")
  endif()
  if(NOT srcs)
    return()
  endif()
  list(APPEND srcs ${ARG_SOURCES})
  string(REPLACE "/" "_" exe "test_${folder}")
  string(REGEX REPLACE "/.*" "" label "${folder}")
  add_executable(${exe} ${srcs})
  target_compile_options(${exe} PRIVATE ${TAMBOURELLE_WARNINGS})
  target_include_directories(${exe} PRIVATE ${CMAKE_CURRENT_SOURCE_DIR})
  target_link_libraries(${exe} PRIVATE tambourelle_testsupport ${ARG_DEPS})
  target_precompile_headers(${exe} REUSE_FROM tambourelle_test_pch)
  gtest_discover_tests(${exe}
    TEST_FILTER "-*OnSmallScreen.*"
    PROPERTIES LABELS ${label}
               ENVIRONMENT QT_QPA_PLATFORM=offscreen
    DISCOVERY_TIMEOUT 60)
  # Suites named ...OnSmallScreen run on a headless screen of 800 x 600 (see TestMain.cpp).
  gtest_discover_tests(${exe}
    TEST_FILTER "*OnSmallScreen.*"
    EXTRA_ARGS --small-screen
    PROPERTIES LABELS ${label}
               ENVIRONMENT QT_QPA_PLATFORM=offscreen
    DISCOVERY_TIMEOUT 60)
endfunction()
