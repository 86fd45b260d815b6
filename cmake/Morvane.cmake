# mv_library(NAME DEPS...): one static library per subsystem folder, made of
# every .cpp below the folder. Headers are included as "folder/Header.h".
# Every mv_ library it links must sit on a lower layer of MV_LAYERS.
function(mv_layer_of lib out)
  string(REGEX REPLACE "^mv_" "" folder ${lib})
  set(level "")
  foreach(entry ${MV_LAYERS})
    if(entry MATCHES "^${folder}:([0-9]+)$")
      set(level ${CMAKE_MATCH_1})
    endif()
  endforeach()
  set(${out} "${level}" PARENT_SCOPE)
endfunction()

function(mv_library name)
  mv_layer_of(${name} own)
  if(own STREQUAL "")
    message(FATAL_ERROR "${name} has no layer in MV_LAYERS (src/CMakeLists.txt)")
  endif()
  foreach(dep ${ARGN})
    if(dep MATCHES "^mv_")
      mv_layer_of(${dep} theirs)
      if(theirs STREQUAL "" OR NOT theirs LESS own)
        message(FATAL_ERROR "${name} (layer ${own}) may not link ${dep} (layer ${theirs}): links point down the table in src/CMakeLists.txt")
      endif()
    endif()
  endforeach()
  file(GLOB_RECURSE srcs CONFIGURE_DEPENDS
       ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp ${CMAKE_CURRENT_SOURCE_DIR}/*.c)
  list(FILTER srcs EXCLUDE REGEX "/main\\.cpp$")
  if(srcs)
    add_library(${name} STATIC ${srcs})
    target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR}/src)
    target_link_libraries(${name} PUBLIC ${ARGN})
  else()
    add_library(${name} INTERFACE)
    target_include_directories(${name} INTERFACE ${PROJECT_SOURCE_DIR}/src)
    target_link_libraries(${name} INTERFACE ${ARGN})
  endif()
endfunction()

# mv_test_dir(NAME LIBS...): one GoogleTest program per test folder, run as
# one ctest entry per test case and once whole, shuffled.
function(mv_test_dir name)
  file(GLOB_RECURSE srcs CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/${name}/*.cpp)
  if(NOT srcs)
    return()
  endif()
  add_executable(test_${name} ${srcs})
  target_include_directories(test_${name} PRIVATE ${CMAKE_CURRENT_SOURCE_DIR})
  target_link_libraries(test_${name} PRIVATE ${ARGN} mv_testsupport GTest::gtest GTest::gmock GTest::gtest_main)
  target_compile_definitions(test_${name} PRIVATE
    MV_SOURCE_DIR="${PROJECT_SOURCE_DIR}"
    MV_TEST_DATA="${CMAKE_CURRENT_SOURCE_DIR}/${name}/data"
    MV_SHARED_TESTDATA="${PROJECT_SOURCE_DIR}/../shared/testdata")
  gtest_discover_tests(test_${name} DISCOVERY_TIMEOUT 60 TEST_PREFIX "${name}."
    PROPERTIES ENVIRONMENT "LIBGL_ALWAYS_SOFTWARE=1;SDL_AUDIODRIVER=dummy")
  # The whole program in one process, in a shuffled order: no test may rely
  # on another having run, or not run, before it (the seed is printed).
  add_test(NAME ${name}.WholeProgramShuffled COMMAND test_${name} --gtest_shuffle)
  set_tests_properties(${name}.WholeProgramShuffled PROPERTIES
    ENVIRONMENT "LIBGL_ALWAYS_SOFTWARE=1;SDL_AUDIODRIVER=dummy")
  # The sound device tests play in real time: alone, a busy machine cannot
  # starve their audio thread.
  if(name STREQUAL "audio")
    set_tests_properties(${name}.WholeProgramShuffled PROPERTIES RUN_SERIAL TRUE)
  endif()
endfunction()
