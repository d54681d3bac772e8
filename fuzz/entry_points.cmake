# The fuzz targets' entry points and the sandbox of the task files a console
# input may name, as a library: for the fuzz targets (fuzz/CMakeLists.txt)
# and for the replay of every input that ever made one fail
# (tests/regressions).
add_library(hybridsim_fuzz_entry STATIC
  ${CMAKE_CURRENT_LIST_DIR}/entry_points.cpp
  ${CMAKE_CURRENT_LIST_DIR}/sandbox.cpp
)
target_include_directories(hybridsim_fuzz_entry PUBLIC ${CMAKE_CURRENT_LIST_DIR}/..)
target_link_libraries(hybridsim_fuzz_entry PUBLIC hybridsim_console)
