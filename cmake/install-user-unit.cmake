# Runs at install time: writes the systemd user unit of the headless monitor, naming
# the program under the prefix it is installed to.
set(root "$ENV{DESTDIR}${CMAKE_INSTALL_PREFIX}")
set(NETVANE_PROGRAM "${CMAKE_INSTALL_PREFIX}/bin/netvane")
set(unit "${root}/lib/systemd/user/netvane-monitor.service")
configure_file("${NETVANE_UNIT_TEMPLATE}" "${unit}" @ONLY)
message(STATUS "Installing: ${unit}")
