# Writes the freedesktop.org autostart entry of loginwindow-start. Run by the
# install step (so CMAKE_INSTALL_PREFIX is the prefix being installed to, also
# when installing with --prefix or into DESTDIR for a package), with:
#   LUMORA_ENTRY_PROGRAM  where loginwindow-start is installed: absolute, or
#                         relative to CMAKE_INSTALL_PREFIX
#   LUMORA_ENTRY_FILE     the file to write
#
# Exec holds the program's absolute path quoted as desktop entries require:
# in double quotes, with ", `, $ and \ escaped by a backslash and % doubled;
# then the whole value gets the string escapes (\ doubled, tab, newline and
# carriage return as \t, \n, \r), which readers undo first. TryExec names the
# same file (string escapes only), so that an entry left behind after the
# program was removed is ignored by the desktop instead of failing at every
# login. Nothing marks the entry as hidden, disabled or tied to one desktop,
# so systemd's autostart generator and every desktop following the autostart
# convention run it.

if(IS_ABSOLUTE "${LUMORA_ENTRY_PROGRAM}")
    set(program "${LUMORA_ENTRY_PROGRAM}")
else()
    set(program "${CMAKE_INSTALL_PREFIX}/${LUMORA_ENTRY_PROGRAM}")
endif()
if(NOT IS_ABSOLUTE "${program}")
    message(FATAL_ERROR "loginwindow-start.desktop: the install prefix '${CMAKE_INSTALL_PREFIX}' "
                        "is not absolute; the autostart entry needs an absolute path")
endif()
# The executable of an Exec line may not hold "=", and no value may hold a
# control character other than the escaped ones.
string(HEX "${program}" hex)
if(hex MATCHES "^(..)*(3d|0[1-8bcef]|1[0-9a-f]|7f)")
    message(FATAL_ERROR "loginwindow-start.desktop: the path '${program}' holds a character that "
                        "an autostart entry's Exec cannot hold ('=' or a control character)")
endif()

if(program MATCHES "%")
    message(WARNING "loginwindow-start.desktop: the path '${program}' holds '%', written '%%' as "
                    "desktop entries require; systemd's autostart generator does not undo that "
                    "before looking for the program and skips the entry. Prefer a prefix without '%'.")
endif()

# String escapes of a desktop entry value.
function(lumora_desktop_string out text)
    string(REPLACE "\\" "\\\\" text "${text}")
    string(REPLACE "\t" "\\t" text "${text}")
    string(REPLACE "\n" "\\n" text "${text}")
    string(REPLACE "\r" "\\r" text "${text}")
    set(${out} "${text}" PARENT_SCOPE)
endfunction()

set(quoted "${program}")
string(REPLACE "\\" "\\\\" quoted "${quoted}")
string(REPLACE "\"" "\\\"" quoted "${quoted}")
string(REPLACE "`" "\\`" quoted "${quoted}")
string(REPLACE "$" "\\$" quoted "${quoted}")
string(REPLACE "%" "%%" quoted "${quoted}")
lumora_desktop_string(exec "\"${quoted}\"")
lumora_desktop_string(tryExec "${program}")

file(WRITE "${LUMORA_ENTRY_FILE}"
     "[Desktop Entry]\n"
     "Type=Application\n"
     "Name=Login items\n"
     "Comment=Starts the login items registered for this user and for all users\n"
     "Exec=${exec}\n"
     "TryExec=${tryExec}\n"
     "Terminal=false\n"
     "NoDisplay=true\n")
