# Logic libraries link no widgets, yet Qt's include root, which every Qt module brings, would
# still find <QtWidgets/QMessageBox>. So they find a folder first that holds, for every widget
# header, a stand-in that stops the build. Only the module's global headers pass: Qt's
# print-support headers, which printing from logic uses, include them.
set(HEVRIN_NO_WIDGETS ${CMAKE_BINARY_DIR}/no-widgets)
function(hevrin_make_widget_stand_ins)
  get_target_property(_inc Qt6::Widgets INTERFACE_INCLUDE_DIRECTORIES)
  list(FILTER _inc INCLUDE REGEX "/QtWidgets/?$")
  list(GET _inc 0 _dir)
  file(GLOB _headers LIST_DIRECTORIES false RELATIVE ${_dir} ${_dir}/*)
  list(FILTER _headers EXCLUDE REGEX "^qtwidgets(global|-config|exports)\\.h$")
  if(NOT _headers)
    message(FATAL_ERROR "No widget headers found in ${_dir}")
  endif()
  foreach(_h ${_headers})
    file(CONFIGURE OUTPUT ${HEVRIN_NO_WIDGETS}/QtWidgets/${_h}
         CONTENT "#error \"A logic library includes a widget header: windows belong under ui/.\"\n")
  endforeach()
endfunction()
hevrin_make_widget_stand_ins()

# Proof that the door is shut, run at every configure: with a logic library's own include
# folders and Qt modules, Qt's printer compiles, and neither spelling of a widget header does.
function(hevrin_prove_no_widgets name)
  get_target_property(_inc ${name} INCLUDE_DIRECTORIES)
  set(CMAKE_TRY_COMPILE_TARGET_TYPE STATIC_LIBRARY)
  set(_probe ${CMAKE_BINARY_DIR}/no-widgets-probe)
  foreach(_case "QtPrintSupport/QPrinter;ON" "QMessageBox;OFF" "QtWidgets/QMessageBox;OFF")
    list(GET _case 0 _header)
    list(GET _case 1 _expected)
    string(MAKE_C_IDENTIFIER ${_header} _id)
    file(CONFIGURE OUTPUT ${_probe}/${_id}.cpp CONTENT "#include <${_header}>\nint probe() { return 0; }\n")
    try_compile(_compiled ${_probe}/${_id} SOURCES ${_probe}/${_id}.cpp
                CMAKE_FLAGS "-DINCLUDE_DIRECTORIES=${_inc}"
                LINK_LIBRARIES ${ARGN}
                CXX_STANDARD 20)
    if((_compiled AND NOT _expected) OR (NOT _compiled AND _expected))
      message(FATAL_ERROR "In ${name}, #include <${_header}> compiles: ${_compiled}; expected ${_expected}")
    endif()
  endforeach()
endfunction()

# One folder, two libraries: its logic (the top level) as `name`, and its windows (ui/) as
# `name_ui`, which links the logic, the window registry and Qt Widgets. Logic libraries link no
# widgets and see no widget header, so a logic file that includes one does not compile.
function(hevrin_library name)
  cmake_parse_arguments(ARG "" "" "DEPS;PRIVATE_DEPS;UI_DEPS" ${ARGN})
  file(GLOB _src CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp ${CMAKE_CURRENT_SOURCE_DIR}/*.h)
  add_library(${name} STATIC ${_src})
  target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR}/src)
  target_include_directories(${name} BEFORE PRIVATE ${HEVRIN_NO_WIDGETS})
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
