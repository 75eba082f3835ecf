# velmora_add_program(NAME [TEST] [PLUGIN] SOURCES a.cpp ... [LIBRARIES ...])
#
# One program of the project's own code, test or tool: warnings are errors, the project root
# and tests/ are on the include path.
#   PLUGIN  the program finds the built plug-in library through VELMORA_PLUGIN_PATH (a Z:
#           path under Wine), and the library is built first.
#   TEST    a GoogleTest program (with its main), registered with CTest (under Wine for the
#           Windows build); implies PLUGIN.
function(velmora_add_program name)
  cmake_parse_arguments(arg "TEST;PLUGIN" "" "SOURCES;LIBRARIES" ${ARGN})
  add_executable(${name} ${arg_SOURCES})
  target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR} ${PROJECT_SOURCE_DIR}/tests)
  target_link_libraries(${name} PRIVATE velmora_warnings ${arg_LIBRARIES})
  if(arg_TEST)
    target_link_libraries(${name} PRIVATE GTest::gtest_main)
    add_test(NAME ${name} COMMAND ${name})
    set(arg_PLUGIN ON)
  endif()
  if(arg_PLUGIN)
    if(CMAKE_CROSSCOMPILING)
      target_compile_definitions(${name} PRIVATE VELMORA_PLUGIN_PATH="Z:$<TARGET_FILE:Tolvan_Velmora>")
    else()
      target_compile_definitions(${name} PRIVATE VELMORA_PLUGIN_PATH="$<TARGET_FILE:Tolvan_Velmora>")
    endif()
    target_link_libraries(${name} PRIVATE ${CMAKE_DL_LIBS})
    add_dependencies(${name} Tolvan_Velmora)
  endif()
endfunction()
