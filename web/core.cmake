# The page's core as a library, for the page (web/CMakeLists.txt) and for
# the native tests (tests/web): the session behind the page's calls, the
# settings panel's table and the animation download.  Whoever includes it
# gives it the JSON headers.
add_library(hybridsim_web_core STATIC
  ${CMAKE_CURRENT_LIST_DIR}/web_session.cpp
  ${CMAKE_CURRENT_LIST_DIR}/settings_panel.cpp
  ${CMAKE_CURRENT_LIST_DIR}/gif_export.cpp
  ${CMAKE_CURRENT_LIST_DIR}/loops_figures.cpp
)
target_link_libraries(hybridsim_web_core PUBLIC hybridsim_draw hybridsim_playback hybridsim_image hybridsim_study)
