# Included by tests/CMakeLists.txt on the build machine.
#
# The Windows backend's desktop-independent parts are compiled into the
# test program and tested like the rest of the window layer.
target_sources(marivo_tests PRIVATE
  ${PROJECT_SOURCE_DIR}/platform/win32/win32_dpi.cpp
  ${PROJECT_SOURCE_DIR}/platform/win32/win32_fonts.cpp
  ${PROJECT_SOURCE_DIR}/platform/win32/win32_hit_test.cpp
  ${PROJECT_SOURCE_DIR}/platform/win32/win32_paths.cpp
  ${PROJECT_SOURCE_DIR}/platform/win32/win32_pump_timing.cpp
  ${PROJECT_SOURCE_DIR}/platform/win32/win32_region_scale.cpp
  ${PROJECT_SOURCE_DIR}/platform/win32/win32_text.cpp
  ${PROJECT_SOURCE_DIR}/platform/win32/ico_format.cpp
  ${PROJECT_SOURCE_DIR}/platform/win32/ico_format_test.cpp
  ${PROJECT_SOURCE_DIR}/platform/win32/win32_helpers_test.cpp
  ${PROJECT_SOURCE_DIR}/platform/win32/win32_scale_test.cpp)

# The Windows program under Wine, when a cross build has made it
# (tools/build-windows.sh). CI runs the same script after its own cross build.
set(MARIVO_WINDOWS_EXE "${PROJECT_SOURCE_DIR}/build-win/platform/win32/marivo2.exe"
    CACHE FILEPATH "marivo2.exe to check under Wine")
if(EXISTS "${MARIVO_WINDOWS_EXE}")
  add_test(NAME wine_e2e
    COMMAND bash ${PROJECT_SOURCE_DIR}/tests/e2e/wine_e2e.sh "${MARIVO_WINDOWS_EXE}")
  set_tests_properties(wine_e2e PROPERTIES LABELS e2e TIMEOUT 600 RUN_SERIAL TRUE)
endif()
