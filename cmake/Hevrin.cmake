# One library per source folder: logic at the top level, windows under ui/.
function(hevrin_library name)
  cmake_parse_arguments(ARG "" "" "DEPS" ${ARGN})
  file(GLOB _src CONFIGURE_DEPENDS
       ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp ${CMAKE_CURRENT_SOURCE_DIR}/*.h
       ${CMAKE_CURRENT_SOURCE_DIR}/ui/*.cpp ${CMAKE_CURRENT_SOURCE_DIR}/ui/*.h)
  add_library(${name} STATIC ${_src})
  target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR}/src)
  target_link_libraries(${name} PUBLIC ${ARG_DEPS})
  target_compile_options(${name} PRIVATE -Wall -Wextra)
endfunction()

# Every tst_*.cpp in a tests folder becomes one Qt Test executable registered with CTest.
function(hevrin_tests folder)
  cmake_parse_arguments(ARG "" "" "DEPS" ${ARGN})
  file(GLOB _tests CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/tst_*.cpp)
  foreach(_t ${_tests})
    get_filename_component(_n ${_t} NAME_WE)
    set(_exe ${folder}_${_n})
    add_executable(${_exe} ${_t})
    target_link_libraries(${_exe} PRIVATE hevrin_testsupport ${ARG_DEPS} Qt6::Test)
    add_test(NAME ${_exe} COMMAND ${_exe})
    set_tests_properties(${_exe} PROPERTIES
      ENVIRONMENT "QT_QPA_PLATFORM=offscreen;HEVRIN_TEMPLATES=${CMAKE_BINARY_DIR}/bin;TZ=Europe/Berlin"
      TIMEOUT 600)
  endforeach()
endfunction()
