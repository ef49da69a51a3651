# The suites cross-built for Windows and run under Wine by
# scripts/windows.sh: those that need no Linux pseudo-terminal (the COM
# names, the text rules, the window on the in-memory control), and the
# Windows control on a COM port that Wine links to vantrel-sim.
add_library(vantrel_testsupport INTERFACE)
target_include_directories(vantrel_testsupport INTERFACE ${CMAKE_CURRENT_SOURCE_DIR})
target_link_libraries(vantrel_testsupport INTERFACE vantrel_app vantrel_standins Qt6::Test)

foreach(name tst_comdevice tst_textrules tst_window tst_wincomm)
  add_executable(${name} ${name}.cpp)
  set_target_properties(${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tests)
  target_link_libraries(${name} PRIVATE vantrel_testsupport)
endforeach()
