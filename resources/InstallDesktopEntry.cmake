# Runs at install time, when CMAKE_INSTALL_PREFIX is the folder the program is installed into.
# Writes the desktop entry with the absolute paths of the installed program and icon.

# Where the entry goes: the installing user's menu ($XDG_DATA_HOME/applications, by default
# ~/.local/share/applications), unless LUNARIS_DESKTOP_DIR names another folder.
if(LUNARIS_DESKTOP_DIR)
    if(IS_ABSOLUTE "${LUNARIS_DESKTOP_DIR}")
        set(desktop_dir "${LUNARIS_DESKTOP_DIR}")
    else()
        set(desktop_dir "${CMAKE_INSTALL_PREFIX}/${LUNARIS_DESKTOP_DIR}")
    endif()
elseif(DEFINED ENV{XDG_DATA_HOME} AND NOT "$ENV{XDG_DATA_HOME}" STREQUAL "")
    set(desktop_dir "$ENV{XDG_DATA_HOME}/applications")
else()
    set(desktop_dir "$ENV{HOME}/.local/share/applications")
endif()

# Exec: the path in double quotes (the prefix may hold blanks), with the characters that are special
# inside quotes escaped, then every backslash doubled and every % doubled for the key's own escaping.
set(program "${CMAKE_INSTALL_PREFIX}/lunaris")
string(REPLACE "\\" "\\\\" quoted "${program}")
string(REPLACE "\"" "\\\"" quoted "${quoted}")
string(REPLACE "`" "\\`" quoted "${quoted}")
string(REPLACE "$" "\\$" quoted "${quoted}")
set(quoted "\"${quoted}\"")
string(REPLACE "\\" "\\\\" quoted "${quoted}")
string(REPLACE "%" "%%" LUNARIS_EXEC "${quoted}")
string(REPLACE "\\" "\\\\" LUNARIS_ICON "${CMAKE_INSTALL_PREFIX}/lunaris.svg")

configure_file("${LUNARIS_DESKTOP_TEMPLATE}" "${LUNARIS_DESKTOP_STAGING}/lunaris.desktop" @ONLY)
file(INSTALL DESTINATION "${desktop_dir}" TYPE FILE FILES "${LUNARIS_DESKTOP_STAGING}/lunaris.desktop")
