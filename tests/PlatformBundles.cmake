# The bundle tests copy a small program into bundle layouts and run it there.
add_executable(bundle_probe ${CMAKE_CURRENT_SOURCE_DIR}/bundle_probe.cpp)
target_link_libraries(bundle_probe PRIVATE Foundation Platform)
add_dependencies(PlatformBundles_test bundle_probe)
target_compile_definitions(PlatformBundles_test
                           PRIVATE LUMORA_BUNDLE_PROBE="$<TARGET_FILE:bundle_probe>")
