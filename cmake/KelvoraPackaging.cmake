# What a release installs, and its package (cpack, which scripts/package runs in each build tree):
#   Windows: a ZIP of a folder holding Kelvora.dll, kelvora.exe, README.txt for Windows users, the
#            licence and the third-party notices, the changelog and the example studies;
#   Linux:   a Debian package of the command-line inspector, with its man page kelvora(1) and, in
#            /usr/share/doc/kelvora, the README and the documents it links to (doc/), the
#            changelog, the licences and the examples.
# `cmake --install <build> --prefix <dir>` installs the same files into a prefix. The targets'
# own folders hold the install rules of kelvora, its man page and Kelvora.dll; this file the rest.
include(GNUInstallDirs)

if(WIN32)
  # One flat folder, as a Windows user unzips it; text files open with a double click.
  set(KELVORA_INSTALL_BINDIR .)
  set(KELVORA_INSTALL_DOCDIR .)
  set(text_suffix .txt)
else()
  set(KELVORA_INSTALL_BINDIR ${CMAKE_INSTALL_BINDIR})
  set(KELVORA_INSTALL_DOCDIR ${CMAKE_INSTALL_DATADIR}/doc/kelvora)
  set(text_suffix "")
  install(FILES README.md DESTINATION ${KELVORA_INSTALL_DOCDIR})
  # The documents the README links to, at the same relative paths, so its links work installed.
  install(FILES doc/file-formats.md doc/json-output.md doc/findings.md doc/developers.md
                doc/kelvora-json.schema.json doc/report-example.png
          DESTINATION ${KELVORA_INSTALL_DOCDIR}/doc)
endif()

install(FILES LICENSE DESTINATION ${KELVORA_INSTALL_DOCDIR} RENAME LICENSE${text_suffix})
install(FILES THIRD-PARTY-NOTICES DESTINATION ${KELVORA_INSTALL_DOCDIR}
        RENAME THIRD-PARTY-NOTICES${text_suffix})
install(FILES CHANGELOG.md DESTINATION ${KELVORA_INSTALL_DOCDIR})
install(DIRECTORY examples/study examples/names examples/moved examples/python
        DESTINATION ${KELVORA_INSTALL_DOCDIR}/examples)

set(CPACK_PACKAGE_NAME kelvora)
set(CPACK_PACKAGE_VENDOR "The Kelvora developers")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
    "Checks the design matrices of a multi-subject GLM before the model is computed")
set(CPACK_RESOURCE_FILE_LICENSE ${PROJECT_SOURCE_DIR}/LICENSE)
set(CPACK_STRIP_FILES ON)
set(CPACK_PACKAGE_DIRECTORY ${PROJECT_BINARY_DIR}/packages)
if(WIN32)
  set(CPACK_GENERATOR ZIP)
  set(CPACK_PACKAGE_FILE_NAME Kelvora-${PROJECT_VERSION}-windows-x64)
else()
  set(CPACK_GENERATOR DEB)
  set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
  set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
  set(CPACK_DEBIAN_PACKAGE_MAINTAINER "The Kelvora developers <maintainers@kelvora.invalid>")
  set(CPACK_DEBIAN_PACKAGE_SECTION science)
  # CPack puts the summary above it as the first line.
  string(CONCAT CPACK_DEBIAN_PACKAGE_DESCRIPTION
    "kelvora reads a multi-study design matrix (MDM) and every single-study design\n"
    "matrix (SDM) it names, repairs stale paths when the data set has moved, and\n"
    "reports predictor counts and names that differ between runs, predictors of\n"
    "interest that are zero in every run of a subject, and confounds that are zero\n"
    "in a run. It runs the same inspection as the Kelvora plug-in of the HalvaneZR\n"
    "analysis host.")
  # The package's dependencies from the libraries that kelvora links (dpkg-shlibdeps).
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
  # The Python package kelvora inside it needs these; the kelvora command does not.
  set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "python3-numpy, python3-pandas")
endif()
include(CPack)
