# One static library per source folder; every .cpp below the folder belongs to it,
# so adding a unit never needs an edit here.
set(TAMBOURELLE_WARNINGS -Wall -Wextra)
# CI builds with warnings as errors, so that a new warning fails the change that made it.
option(TAMBOURELLE_WERROR "Treat compiler warnings as errors" OFF)
if(TAMBOURELLE_WERROR)
  list(APPEND TAMBOURELLE_WARNINGS -Werror)
endif()

function(tambourelle_library name)
  cmake_parse_arguments(ARG "" "" "DEPS;EXCLUDE" ${ARGN})
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
  target_precompile_headers(${name} PRIVATE ${PROJECT_SOURCE_DIR}/cmake/pch.h)
endfunction()

# One GoogleTest program per tested folder (tests/<folder>/*.cpp), each test case a CTest
# test labelled with the folder, run headless.
function(tambourelle_tests folder)
  cmake_parse_arguments(ARG "" "" "DEPS" ${ARGN})
  file(GLOB_RECURSE srcs CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/${folder}/*.cpp
       ${CMAKE_CURRENT_SOURCE_DIR}/${folder}/*.h)
  if(NOT srcs)
    return()
  endif()
  set(exe test_${folder})
  add_executable(${exe} ${srcs})
  target_compile_options(${exe} PRIVATE ${TAMBOURELLE_WARNINGS})
  target_include_directories(${exe} PRIVATE ${CMAKE_CURRENT_SOURCE_DIR})
  target_link_libraries(${exe} PRIVATE tambourelle_testsupport ${ARG_DEPS})
  target_precompile_headers(${exe} PRIVATE ${CMAKE_CURRENT_SOURCE_DIR}/support/test_pch.h)
  gtest_discover_tests(${exe}
    PROPERTIES LABELS ${folder}
               ENVIRONMENT QT_QPA_PLATFORM=offscreen
    DISCOVERY_TIMEOUT 60)
endfunction()
