# Run by `cmake --install` for the desktop component: writes the systemd user service and
# timer that receive mail every 10 minutes. The service names the installed executable, so
# its path is known only here. share/systemd/user is where `systemctl --user` looks below
# both /usr/local and ~/.local.
set(ORVAINE_EXECUTABLE "${CMAKE_INSTALL_PREFIX}/orvaine/orvaine")
# Inside the quoted executable of ExecStart, "\" and '"' are escapes and "%" starts a
# specifier: each stands for itself only when escaped or doubled. ("$" stays as it is:
# variables are expanded in the arguments only.)
string(REPLACE "\\" "\\\\" ORVAINE_EXECUTABLE_IN_UNIT "${ORVAINE_EXECUTABLE}")
string(REPLACE "\"" "\\\"" ORVAINE_EXECUTABLE_IN_UNIT "${ORVAINE_EXECUTABLE_IN_UNIT}")
string(REPLACE "%" "%%" ORVAINE_EXECUTABLE_IN_UNIT "${ORVAINE_EXECUTABLE_IN_UNIT}")
set(unit_dir "$ENV{DESTDIR}${CMAKE_INSTALL_PREFIX}/share/systemd/user")
message(STATUS "Installing: ${unit_dir}/orvaine-receive.service")
configure_file("${ORVAINE_PACKAGING_DIR}/orvaine-receive.service.in"
  "${unit_dir}/orvaine-receive.service" @ONLY)
message(STATUS "Installing: ${unit_dir}/orvaine-receive.timer")
configure_file("${ORVAINE_PACKAGING_DIR}/orvaine-receive.timer"
  "${unit_dir}/orvaine-receive.timer" COPYONLY)
