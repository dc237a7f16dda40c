# The Debian package: builds it with scripts/package (its own Release build
# for the installed layout, in <build>/package-test) and checks its control
# fields and file list. Only where dpkg-deb exists, and only in the normal
# build: the package is built the same way whatever this build's options are.
find_program(LUMORA_DPKG_DEB dpkg-deb)
if(LUMORA_DPKG_DEB AND Python3_Interpreter_FOUND AND NOT LUMORA_SANITIZE)
    add_test(NAME Package.Debian
             COMMAND ${Python3_EXECUTABLE} ${CMAKE_CURRENT_SOURCE_DIR}/package_test.py
                     --source ${PROJECT_SOURCE_DIR} --out ${CMAKE_BINARY_DIR}/package-test
                     --version ${PROJECT_VERSION})
    set_tests_properties(Package.Debian PROPERTIES TIMEOUT 900)
endif()
