# The Debian package, by CPack: `cpack --preset package` after building the `package` preset, or
# `cmake --workflow --preset package` for all three steps. Its dependencies come from the programs'
# libraries (dpkg-shlibdeps), never from a list kept by hand.
set(CPACK_PACKAGE_NAME orvik-monitor)
set(CPACK_PACKAGE_VENDOR "The Orvik Monitor developers")
set(CPACK_PACKAGE_CONTACT "The Orvik Monitor developers <orvik-monitor@users.noreply.invalid>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "watch and calibrate thermo-electric battery chargers")
set(CPACK_PACKAGE_DESCRIPTION
    "Orvik Monitor is the service tool for thermo-electric battery chargers.
Connected to the charger's controller through a serial port or a USB serial
adapter, it polls the controller every two seconds and shows its live status,
and its dialogs trim the calibration constants, store the calibration date,
edit the tag name and read the diagnostics report.
.
The package holds the desktop program orvik-monitor, the command-line client
orvikctl with its completion for bash, and orvik-sim, a simulated controller
for training and demonstrations.")
set(CPACK_STRIP_FILES ON)
set(CPACK_GENERATOR DEB)

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION electronics)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS OFF)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)

include(CPack)
