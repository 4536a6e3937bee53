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
configure_file(${halvern_source}/halvern-station.service.in ${halvern_binary}/unit/halvern-station.service @ONLY)
file(INSTALL ${halvern_binary}/unit/halvern-station.service DESTINATION ${unitdir})
file(INSTALL ${halvern_source}/station.conf DESTINATION ${sysconfdir}/halvern)
