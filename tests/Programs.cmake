# End-to-end tests of the three programs on their installed layout. The
# fixture installs the build (cmake --install) into a prefix whose name holds
# spaces and shell characters; each group then copies that installation into
# scratch folders with its own HOME and XDG_CONFIG_HOME, so the real user's
# login items are never touched.
if(Python3_Interpreter_FOUND AND TARGET LumoraBootLoader AND TARGET LumoraBootUnloader
   AND TARGET LumoraLoader)
    set(programs_stage ${CMAKE_CURRENT_BINARY_DIR}/programs-installed)
    set(programs_script ${CMAKE_CURRENT_SOURCE_DIR}/programs_e2e.py)
    add_test(NAME Programs.install
             COMMAND ${Python3_EXECUTABLE} ${programs_script} --stage ${programs_stage}
                     --cmake ${CMAKE_COMMAND} --build ${CMAKE_BINARY_DIR} install)
    set_tests_properties(Programs.install PROPERTIES FIXTURES_SETUP programs_installed)
    foreach(group BootLoaderTests BootUnloaderTests LoaderTests LayoutTests)
        add_test(NAME Programs.${group}
                 COMMAND ${Python3_EXECUTABLE} ${programs_script} --stage ${programs_stage}
                         ${group})
        set_tests_properties(Programs.${group} PROPERTIES FIXTURES_REQUIRED programs_installed)
    endforeach()
    # The check for stray files made by a shell runs after every other group.
    set_tests_properties(Programs.LayoutTests PROPERTIES DEPENDS
                         "Programs.BootLoaderTests;Programs.BootUnloaderTests;Programs.LoaderTests")
endif()
