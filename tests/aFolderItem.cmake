# The folder item tests read an exception's throw site from its report, shown
# through the recording alert.
target_sources(aFolderItem_test PRIVATE ${CMAKE_CURRENT_SOURCE_DIR}/AlertRecorder.cpp)
