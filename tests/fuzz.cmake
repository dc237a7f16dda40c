# The property-list fuzzer, built only in a clang build configured with
# -DLUMORA_FUZZ=ON (scripts/fuzz does this).
option(LUMORA_FUZZ "Build the libFuzzer harnesses (clang only)" OFF)
if(LUMORA_FUZZ AND CMAKE_CXX_COMPILER_ID STREQUAL "Clang")
    add_executable(PropertyList_fuzz ${CMAKE_CURRENT_LIST_DIR}/PropertyList_fuzz.cpp)
    target_link_libraries(PropertyList_fuzz PRIVATE Platform)
    target_compile_options(PropertyList_fuzz PRIVATE -fsanitize=fuzzer)
    target_link_options(PropertyList_fuzz PRIVATE -fsanitize=fuzzer)
endif()
