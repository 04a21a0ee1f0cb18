# One interface target carries the toolkit's flags, so every wx target of
# the project links the same way. The root list includes this file when the
# desktop program is built, before the first layer that needs the toolkit.
find_package(wxWidgets 3.2 REQUIRED COMPONENTS html core base)

add_library(tessaly_wx INTERFACE)
target_include_directories(tessaly_wx SYSTEM INTERFACE ${wxWidgets_INCLUDE_DIRS})
target_compile_definitions(tessaly_wx INTERFACE ${wxWidgets_DEFINITIONS}
  $<$<CONFIG:Debug>:${wxWidgets_DEFINITIONS_DEBUG}>)
# Only the compiler takes the toolkit's flags; the resource compiler of a
# Windows build gets its include folders and definitions alone.
target_compile_options(tessaly_wx INTERFACE "$<$<COMPILE_LANGUAGE:CXX>:${wxWidgets_CXX_FLAGS}>")
target_link_libraries(tessaly_wx INTERFACE ${wxWidgets_LIBRARIES})
