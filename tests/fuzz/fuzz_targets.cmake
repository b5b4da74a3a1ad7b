# One libFuzzer executable per tests/fuzz/*.cpp, each run for a few seconds by ctest; tools/fuzz.sh runs them longer.
set(CORVALE_FUZZ_SECONDS 5 CACHE STRING "Seconds each fuzz target runs under ctest")
enable_testing()
file(GLOB CORVALE_FUZZ_SOURCES CONFIGURE_DEPENDS ${CMAKE_CURRENT_LIST_DIR}/*.cpp)
foreach(source ${CORVALE_FUZZ_SOURCES})
  get_filename_component(target ${source} NAME_WE)
  add_executable(${target} ${source})
  target_compile_options(${target} PRIVATE ${CORVALE_WARNINGS})
  target_link_libraries(${target} PRIVATE corvale_core)
  target_compile_definitions(${target} PRIVATE CORVALE_SOURCE_DIR="${CMAKE_SOURCE_DIR}")
  target_link_options(${target} PRIVATE -fsanitize=fuzzer)
  # New inputs go to the build tree; the seeds kept in the source tree are only read.
  set(corpus ${CMAKE_BINARY_DIR}/corpus/${target})
  file(MAKE_DIRECTORY ${corpus})
  set(seeds ${CMAKE_CURRENT_LIST_DIR}/corpus/${target})
  if(NOT IS_DIRECTORY ${seeds})
    set(seeds "")
  endif()
  add_test(NAME ${target}
    COMMAND ${target} -max_total_time=${CORVALE_FUZZ_SECONDS} -rss_limit_mb=2048 -timeout=10 ${corpus} ${seeds}
    WORKING_DIRECTORY ${CMAKE_BINARY_DIR})
endforeach()
