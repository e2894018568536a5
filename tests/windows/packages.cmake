# The Windows packages (test_packages.py): the fixture "windows_packages" makes the installer and
# the ZIP with CPack, as a release would, into a folder of its own that its cleanup removes.
find_package(Python3 REQUIRED COMPONENTS Interpreter)

# Reads what an installation left in the Wine prefix: folders, the shortcut, the registry.
add_executable(install_probe install_probe.cc)
target_link_libraries(install_probe PRIVATE plq::options plq::win32_text ole32 uuid shell32)
target_compile_definitions(install_probe PRIVATE UNICODE _UNICODE)
if(MINGW)
  target_link_options(install_probe PRIVATE -municode -static)
endif()

set(packages_dir "${CMAKE_CURRENT_BINARY_DIR}/packages")
add_test(NAME windows.packages
  COMMAND "${CMAKE_CPACK_COMMAND}" --config "${PROJECT_BINARY_DIR}/CPackConfig.cmake"
          -B "${packages_dir}")
add_test(NAME windows.packages_cleanup
  COMMAND "${CMAKE_COMMAND}" -E rm -rf "${packages_dir}")
set_tests_properties(windows.packages PROPERTIES FIXTURES_SETUP windows_packages TIMEOUT 120)
set_tests_properties(windows.packages_cleanup PROPERTIES FIXTURES_CLEANUP windows_packages)

set(package_scenarios versions unsigned sign_copies signed_build installer)
foreach(scenario IN LISTS package_scenarios)
  # The interpreter by its path: named as a target, it would be run through the Windows emulator.
  add_test(NAME windows.package_${scenario}
    COMMAND "${Python3_EXECUTABLE}" "${CMAKE_CURRENT_SOURCE_DIR}/test_packages.py" ${scenario}
            --packages "${packages_dir}"
            --app "$<TARGET_FILE:plqcalc>"
            --source-dir "${PROJECT_SOURCE_DIR}"
            --build-type "${CMAKE_BUILD_TYPE}"
            --cmake "${CMAKE_COMMAND}"
            --cpack "${CMAKE_CPACK_COMMAND}"
            "--signing-cert=${PLQ_SIGNING_CERT}"
            --wine-run "${PROJECT_SOURCE_DIR}/cmake/wine-run.sh"
            --wineprefix "${PROJECT_BINARY_DIR}/wine-prefix"
            --install-probe "$<TARGET_FILE:install_probe>"
            --window-probe "$<TARGET_FILE:window_probe>"
            --version "${PROJECT_VERSION}"
            --copyright "${PLQ_COPYRIGHT}"
            --display-name "${PLQ_CAPTION}"
            --registry-key "${PLQ_APPLICATION_ID}"
            --icon "${PLQ_WINDOWS_ICON}")
  set_tests_properties(windows.package_${scenario} PROPERTIES
    LABELS windows
    FIXTURES_REQUIRED windows_packages
    SKIP_RETURN_CODE 77
    ENVIRONMENT PYTHONUNBUFFERED=1
    TIMEOUT 240)
endforeach()
# A build tree of its own: the program is compiled once more, about 10 s on an idle machine.
set_tests_properties(windows.package_signed_build PROPERTIES TIMEOUT 300)
# These two run programs in the shared Wine prefix, and take turns with the other Wine tests.
set_tests_properties(windows.package_signed_build windows.package_installer PROPERTIES
  FIXTURES_REQUIRED "windows_packages;wine"
  RESOURCE_LOCK wine_prefix)
set_tests_properties(windows.packages windows.packages_cleanup PROPERTIES LABELS windows)
