# One folder, two libraries: its logic (the top level) as `name`, and its windows (ui/) as
# `name_ui`, which links the logic, the window registry and Qt Widgets. Logic libraries link no
# widgets, so a logic file that includes a widget header does not compile.
function(hevrin_library name)
  cmake_parse_arguments(ARG "" "" "DEPS;PRIVATE_DEPS;UI_DEPS" ${ARGN})
  file(GLOB _src CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp ${CMAKE_CURRENT_SOURCE_DIR}/*.h)
  add_library(${name} STATIC ${_src})
  target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR}/src)
  target_link_libraries(${name} PUBLIC ${ARG_DEPS} PRIVATE ${ARG_PRIVATE_DEPS})

  file(GLOB _ui CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/ui/*.cpp ${CMAKE_CURRENT_SOURCE_DIR}/ui/*.h)
  if(_ui)
    add_library(${name}_ui STATIC ${_ui})
    target_link_libraries(${name}_ui PUBLIC ${name} ${ARG_UI_DEPS} Qt6::Widgets)
    if(NOT name STREQUAL "hevrin_platform")
      target_link_libraries(${name}_ui PUBLIC hevrin_platform_ui)
    endif()
  endif()
endfunction()

# QPrinter for a logic library: Qt's print-support headers and library, without the widgets
# that module's own usage requirements bring along.
function(hevrin_use_printer name)
  get_target_property(_inc Qt6::PrintSupport INTERFACE_INCLUDE_DIRECTORIES)
  target_include_directories(${name} SYSTEM PUBLIC ${_inc})
  target_link_libraries(${name} INTERFACE $<LINK_ONLY:Qt6::PrintSupport>)
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
