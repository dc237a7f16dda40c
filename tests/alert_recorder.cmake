# The library tests that show alerts link the recording StandardAlert; being
# defined in the program, it keeps the real one out of the link.
foreach(test aException_test aDialogBox_test aMemoryBlock_test)
    if(TARGET ${test})
        target_sources(${test} PRIVATE ${CMAKE_CURRENT_SOURCE_DIR}/AlertRecorder.cpp)
    endif()
endforeach()
