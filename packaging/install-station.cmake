# SPDX-FileCopyrightText: 2026 Halvern console developers
# SPDX-License-Identifier: GPL-3.0-or-later

# Run by cmake --install (and by cpack): puts the station's unit and
# configuration file where the prefix of this installation asks, which is
# only known now (cmake --install --prefix, /usr in the Debian package).
# Set before: halvern_source, halvern_binary, halvern_bindir, halvern_sysconfdir
# and halvern_unitdir (GNUInstallDirs' folders and the unit folder, as configured).

# The configuration folder as GNUInstallDirs places it: /etc for the prefixes
# / and /usr, /etc/opt/NAME for /opt/NAME, PREFIX/etc otherwise.
if(IS_ABSOLUTE "${halvern_sysconfdir}")
  set(sysconfdir ${halvern_sysconfdir})
elseif(CMAKE_INSTALL_PREFIX MATCHES "^/(usr/?)?$")
  set(sysconfdir /${halvern_sysconfdir})
elseif(CMAKE_INSTALL_PREFIX MATCHES "^/opt/")
  set(sysconfdir /${halvern_sysconfdir}${CMAKE_INSTALL_PREFIX})
else()
  set(sysconfdir ${CMAKE_INSTALL_PREFIX}/${halvern_sysconfdir})
endif()
cmake_path(ABSOLUTE_PATH halvern_bindir BASE_DIRECTORY "${CMAKE_INSTALL_PREFIX}" NORMALIZE OUTPUT_VARIABLE bindir)
cmake_path(ABSOLUTE_PATH halvern_unitdir BASE_DIRECTORY "${CMAKE_INSTALL_PREFIX}" NORMALIZE OUTPUT_VARIABLE unitdir)

set(HALVERN_STATION_BINARY ${bindir}/halvern-station)
set(HALVERN_STATION_CONF ${sysconfdir}/halvern/station.conf)
# Written apart for each destination: installs into two places may run at once.
string(SHA1 destination "$ENV{DESTDIR}${CMAKE_INSTALL_PREFIX}")
set(unit ${halvern_binary}/unit/${destination}/halvern-station.service)
configure_file(${halvern_source}/halvern-station.service.in ${unit} @ONLY)
file(INSTALL ${unit} DESTINATION ${unitdir})
file(REMOVE_RECURSE ${halvern_binary}/unit/${destination})
file(INSTALL ${halvern_source}/station.conf DESTINATION ${sysconfdir}/halvern)
