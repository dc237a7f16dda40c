# The bundle tests copy a small program into bundle layouts and run it there.
add_executable(bundle_probe ${CMAKE_CURRENT_SOURCE_DIR}/bundle_probe.cpp)
target_include_directories(bundle_probe PRIVATE ${CMAKE_CURRENT_SOURCE_DIR})
target_link_libraries(bundle_probe PRIVATE Foundation Platform)
foreach(test PlatformBundles_test aFolderItem_test)
    add_dependencies(${test} bundle_probe)
    target_compile_definitions(${test} PRIVATE LUMORA_BUNDLE_PROBE="$<TARGET_FILE:bundle_probe>")
endforeach()
