# Installation and the Debian package. Programs go to bin/; every shared library and module
# to the private folder lib/vesk (plain lib, not the multiarch folder: VeskWorkbench finds its
# modules at ../lib/vesk beside itself, and nothing outside the package links to them), found
# through the run path; the demonstration files, reference pictures, desktop entry, icon and
# manual pages under share/. `cmake --install` needs only the targets of vesk_shipped, never
# the tests or benchmarks.
include(GNUInstallDirs)

set(VESK_PRIVATE_LIBRARY_FOLDER lib/vesk)
set(VESK_PACKAGE_NAME vesk)
set(VESK_PACKAGING_FOLDER ${PROJECT_SOURCE_DIR}/packaging)
set(VESK_PACKAGING_BUILD_FOLDER ${PROJECT_BINARY_DIR}/packaging)
set(CMAKE_SKIP_INSTALL_ALL_DEPENDENCY ON)

set(vesk_programs)
foreach(program VeskWorkbench vesk-camctl vesk-portrait-check)
  if(TARGET ${program})
    list(APPEND vesk_programs ${program})
  endif()
endforeach()
set(vesk_libraries)
foreach(library VeskHost VeskCapture VeskObjSrcCapture vesk_hosting vesk_hosting_widgets vesk_camsdk vesk_pthub
    vesk_portrait_checker)
  if(TARGET ${library})
    list(APPEND vesk_libraries ${library})
  endif()
endforeach()

set_target_properties(${vesk_programs} PROPERTIES INSTALL_RPATH "$ORIGIN/../${VESK_PRIVATE_LIBRARY_FOLDER}")
set_target_properties(${vesk_libraries} PROPERTIES INSTALL_RPATH "$ORIGIN")
install(TARGETS ${vesk_programs} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(TARGETS ${vesk_libraries} LIBRARY DESTINATION ${VESK_PRIVATE_LIBRARY_FOLDER})
install(PROGRAMS ${VESK_PACKAGING_FOLDER}/vesk-workbench-demo DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES ${PROJECT_SOURCE_DIR}/host/demo/workbench.ini ${PROJECT_SOURCE_DIR}/host/demo/camera.ini
  DESTINATION ${CMAKE_INSTALL_DATADIR}/vesk/demo)

# Generated files: the reference pictures (drawn by a small program of the build), the manual
# pages and the changelog gzipped without a time stamp, so that two builds give the same files.
set(vesk_generated)
if(VESK_BUILD_GUI)
  add_executable(vesk-draw-reference-pictures ${VESK_PACKAGING_FOLDER}/reference/DrawReferencePictures.cpp)
  target_link_libraries(vesk-draw-reference-pictures PRIVATE Qt6::Gui vesk_warnings)
  set(vesk_reference_folder ${VESK_PACKAGING_BUILD_FOLDER}/reference)
  set(vesk_reference_pictures)
  foreach(name RefImage RefImageGlasses RefImageSide RefImageSMT)
    list(APPEND vesk_reference_pictures ${vesk_reference_folder}/${name}.jpg)
  endforeach()
  add_custom_command(OUTPUT ${vesk_reference_pictures}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${vesk_reference_folder}
    # A build step, not a test: a sanitizer build's leak report on Qt's statics must not stop it.
    COMMAND ${CMAKE_COMMAND} -E env QT_QPA_PLATFORM=offscreen ASAN_OPTIONS=detect_leaks=0
            $<TARGET_FILE:vesk-draw-reference-pictures> ${vesk_reference_folder}
    DEPENDS vesk-draw-reference-pictures
    COMMENT "Drawing the reference pictures")
  list(APPEND vesk_generated ${vesk_reference_pictures})
  install(FILES ${vesk_reference_pictures} DESTINATION ${CMAKE_INSTALL_DATADIR}/vesk/reference)
endif()

find_program(VESK_GZIP gzip REQUIRED)
function(vesk_gzip source output)
  add_custom_command(OUTPUT ${output}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${VESK_PACKAGING_BUILD_FOLDER}/man
    COMMAND ${VESK_GZIP} -9nc ${source} > ${output}
    DEPENDS ${source}
    VERBATIM)
endfunction()
set(vesk_manual_pages)
foreach(page VeskWorkbench vesk-camctl vesk-portrait-check vesk-workbench-demo)
  if(EXISTS ${VESK_PACKAGING_FOLDER}/man/${page}.1)
    vesk_gzip(${VESK_PACKAGING_FOLDER}/man/${page}.1 ${VESK_PACKAGING_BUILD_FOLDER}/man/${page}.1.gz)
    list(APPEND vesk_manual_pages ${VESK_PACKAGING_BUILD_FOLDER}/man/${page}.1.gz)
  endif()
endforeach()
vesk_gzip(${VESK_PACKAGING_FOLDER}/changelog ${VESK_PACKAGING_BUILD_FOLDER}/changelog.gz)
list(APPEND vesk_generated ${vesk_manual_pages} ${VESK_PACKAGING_BUILD_FOLDER}/changelog.gz)
add_custom_target(vesk_package_files ALL DEPENDS ${vesk_generated})

install(FILES ${vesk_manual_pages} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES ${VESK_PACKAGING_FOLDER}/copyright ${VESK_PACKAGING_BUILD_FOLDER}/changelog.gz
  DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/${VESK_PACKAGE_NAME})
install(FILES ${VESK_PACKAGING_FOLDER}/vesk-workbench.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${VESK_PACKAGING_FOLDER}/vesk-workbench.svg DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)

# What the package ships, to build without the tests and benchmarks.
add_custom_target(vesk_shipped DEPENDS ${vesk_programs} ${vesk_libraries} vesk_package_files)

# The Debian package (scripts/package). Run-time libraries are found by dpkg-shlibdeps from the
# binaries; the rest is what the programs load by name or read at run time.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME ${VESK_PACKAGE_NAME})
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "Vesk developers <vesk-dev@example.com>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "camera capture for photo workstations")
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "An operator photographs a person in set poses with a tethered camera (over USB
through libgphoto2, or a simulated camera), sees each picture processed (turned
upright, scaled, saved as JPEG) and hands it to the host's record.

This package holds the stand-in host VeskWorkbench with the capture plug-in,
the camera tool vesk-camctl, the portrait checker vesk-portrait-check and a
demonstration station (vesk-workbench-demo) on the simulated camera.")
set(CPACK_DEBIAN_PACKAGE_SECTION graphics)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# dpkg-shlibdeps runs in the staging folder: our own libraries are found there.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS_PRIVATE_DIRS usr/${VESK_PRIVATE_LIBRARY_FOLDER})
# libgphoto2-6 (found by shlibdeps) carries the camera drivers too; opencv-data has the face
# cascades the portrait checks read; the dialog draws its texts with the DejaVu fonts.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "opencv-data, fonts-dejavu-core")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_SOURCE_IGNORE_FILES "/build.*/;/\\\\.git/")
include(CPack)
