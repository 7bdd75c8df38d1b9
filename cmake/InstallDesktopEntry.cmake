# Run by `cmake --install` and CPack: writes the menu entry for the prefix chosen then.
# In /usr the entry names the program as `Tavvel` (/usr/bin is on every PATH); in any other prefix,
# a home folder's ~/.local/bin or /opt among them, it names the program by its full path, as the
# session that starts it from the menu may not have that folder on its PATH.
# Expects TAVVEL_DESKTOP_ENTRY_IN, TAVVEL_DESKTOP_ENTRY_WORK (a folder to write it in first),
# TAVVEL_INSTALL_BINDIR and
# TAVVEL_INSTALL_DATADIR (relative to the prefix, or absolute).
cmake_policy(PUSH)
cmake_policy(VERSION 3.25)
if(IS_ABSOLUTE "${TAVVEL_INSTALL_BINDIR}")
  set(bindir "${TAVVEL_INSTALL_BINDIR}")
else()
  set(bindir "${CMAKE_INSTALL_PREFIX}/${TAVVEL_INSTALL_BINDIR}")
endif()
if(bindir STREQUAL "/usr/bin")
  set(TAVVEL_DESKTOP_EXEC Tavvel)
else()
  # One quoted argument: inside the quotes a quote, backquote, dollar and backslash take a
  # backslash and a percent sign is doubled; the key file then escapes each backslash again.
  set(program "${bindir}/Tavvel")
  string(REGEX REPLACE "([\"`$\\\\])" "\\\\\\1" program "${program}")
  string(REPLACE "%" "%%" program "${program}")
  string(REPLACE "\\" "\\\\" program "${program}")
  set(TAVVEL_DESKTOP_EXEC "\"${program}\"")
endif()
# One file per destination, so that installs into several prefixes at once do not meet.
string(MD5 destination "$ENV{DESTDIR}|${bindir}")
get_filename_component(name "${TAVVEL_DESKTOP_ENTRY_IN}" NAME_WLE)
set(entry "${TAVVEL_DESKTOP_ENTRY_WORK}/${destination}/${name}")
configure_file("${TAVVEL_DESKTOP_ENTRY_IN}" "${entry}" @ONLY)
if(IS_ABSOLUTE "${TAVVEL_INSTALL_DATADIR}")
  set(datadir "${TAVVEL_INSTALL_DATADIR}")
else()
  set(datadir "${CMAKE_INSTALL_PREFIX}/${TAVVEL_INSTALL_DATADIR}")
endif()
# file(INSTALL) adds DESTDIR and lists the file in install_manifest.txt.
file(INSTALL DESTINATION "${datadir}/applications" TYPE FILE FILES "${entry}")
cmake_policy(POP)
