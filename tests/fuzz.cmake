# The libFuzzer harnesses, built only in a clang build configured with
# -DLUMORA_FUZZ=ON (scripts/fuzz does this): PropertyList_fuzz over the
# property-list readers, LoginItemStore_fuzz over the login item store's
# reads of a preference file.
option(LUMORA_FUZZ "Build the libFuzzer harnesses (clang only)" OFF)
if(LUMORA_FUZZ AND CMAKE_CXX_COMPILER_ID STREQUAL "Clang")
    add_executable(PropertyList_fuzz ${CMAKE_CURRENT_LIST_DIR}/PropertyList_fuzz.cpp)
    target_link_libraries(PropertyList_fuzz PRIVATE Platform)
    add_executable(LoginItemStore_fuzz ${CMAKE_CURRENT_LIST_DIR}/LoginItemStore_fuzz.cpp)
    target_link_libraries(LoginItemStore_fuzz PRIVATE LoginItemAPI Platform)
    foreach(harness PropertyList_fuzz LoginItemStore_fuzz)
        target_compile_options(${harness} PRIVATE -fsanitize=fuzzer)
        target_link_options(${harness} PRIVATE -fsanitize=fuzzer)
    endforeach()
endif()
