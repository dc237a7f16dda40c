# Tests of loginwindow-start: the starter itself on prepared preference files
# in scratch roots, and the autostart entry as the install step writes it for
# a prefix with awkward characters.
if(Python3_Interpreter_FOUND AND TARGET loginwindow-start)
    set(login_script ${CMAKE_CURRENT_SOURCE_DIR}/loginwindow_start.py)
    add_test(NAME LoginWindowStart.StartTests
             COMMAND ${Python3_EXECUTABLE} ${login_script} --program $<TARGET_FILE:loginwindow-start>
                     StartTests)
    add_test(NAME LoginWindowStart.AutostartEntryTests
             COMMAND ${Python3_EXECUTABLE} ${login_script} --cmake ${CMAKE_COMMAND}
                     --build ${CMAKE_BINARY_DIR} AutostartEntryTests)
endif()
