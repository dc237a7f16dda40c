# The loginitems support tool, run as a program in a scratch configuration.
if(TARGET loginitems)
    lumora_add_test(loginitems_tool ${CMAKE_CURRENT_LIST_DIR}/loginitems_tool.cpp)
    target_compile_definitions(loginitems_tool PRIVATE LOGINITEMS_PROGRAM="$<TARGET_FILE:loginitems>")
    add_dependencies(loginitems_tool loginitems)
endif()
