# Reliability of the login item list under faults: the registration programs
# killed at random moments, and run beside another process that adds items
# through the store. Uses the installation of Programs.cmake's fixture.
if(TARGET LumoraBootLoader AND TARGET LoginItemAPI AND Python3_Interpreter_FOUND)
    add_executable(store_adder ${CMAKE_CURRENT_LIST_DIR}/store_adder.cpp)
    target_link_libraries(store_adder PRIVATE LoginItemAPI Platform)
    foreach(group KillTests ConcurrencyTests)
        add_test(NAME Reliability.${group}
                 COMMAND ${Python3_EXECUTABLE} ${CMAKE_CURRENT_SOURCE_DIR}/reliability_e2e.py
                         --stage ${CMAKE_CURRENT_BINARY_DIR}/programs-installed
                         --adder $<TARGET_FILE:store_adder> ${group})
        set_tests_properties(Reliability.${group} PROPERTIES FIXTURES_REQUIRED programs_installed
                                                             TIMEOUT 120)
    endforeach()
    # These run in folders named with shell syntax too: the check for stray
    # files made by a shell comes after them.
    if(TEST Programs.LayoutTests)
        set_property(TEST Programs.LayoutTests APPEND PROPERTY DEPENDS Reliability.KillTests
                                                               Reliability.ConcurrencyTests)
    endif()
endif()
