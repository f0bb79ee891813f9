# orvell_library(name DEPS … [UI_DEPS …])
#   Builds src/<name>/*.cpp into the static library orvell_<name>. Dialogs and other
#   widget code live in src/<name>/ui/ and become orvell_<name>_ui, so headless
#   programs can link the core without widgets.
function(orvell_library name)
  cmake_parse_arguments(A "" "" "DEPS;UI_DEPS" ${ARGN})
  file(GLOB srcs CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp ${CMAKE_CURRENT_SOURCE_DIR}/*.h)
  if(srcs)
    add_library(orvell_${name} STATIC ${srcs})
    target_link_libraries(orvell_${name} PUBLIC ${A_DEPS})
  else()
    add_library(orvell_${name} INTERFACE)
    target_link_libraries(orvell_${name} INTERFACE ${A_DEPS})
  endif()
  file(GLOB uisrcs CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/ui/*.cpp
       ${CMAKE_CURRENT_SOURCE_DIR}/ui/*.h ${CMAKE_CURRENT_SOURCE_DIR}/ui/*.ui)
  if(uisrcs AND ORVELL_BUILD_GUI)
    add_library(orvell_${name}_ui STATIC ${uisrcs})
    target_link_libraries(orvell_${name}_ui PUBLIC orvell_${name} Qt5::Widgets ${A_UI_DEPS})
  endif()
endfunction()

# orvell_test(name SOURCES … LIBS … [GUI])
#   One Qt Test executable per test, run by CTest. Tests without GUI run on the
#   offscreen platform; GUI tests need a display (./dev test provides Xvfb).
function(orvell_test name)
  cmake_parse_arguments(A "GUI" "TIMEOUT" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${A_SOURCES})
  target_link_libraries(${name} PRIVATE Qt5::Test ${A_LIBS})
  target_compile_definitions(${name} PRIVATE ORVELL_SOURCE_DIR="${CMAKE_SOURCE_DIR}")
  add_test(NAME ${name} COMMAND ${name})
  if(NOT A_GUI)
    set_tests_properties(${name} PROPERTIES ENVIRONMENT "QT_QPA_PLATFORM=offscreen")
  endif()
  if(A_TIMEOUT)
    set_tests_properties(${name} PROPERTIES TIMEOUT ${A_TIMEOUT})
  endif()
endfunction()
