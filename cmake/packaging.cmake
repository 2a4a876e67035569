# Installing and packaging. Linux: bin/botpilot and bin/botarena with the READMEs as
# documentation, packaged by `cpack -G DEB` (dependencies declared by dpkg-shlibdeps) or
# `cpack -G TGZ` in the release build. Windows: botpilot.exe with a short README, as a zip
# (cpack --preset windows-release). Every package is named with the project's one version.
include(GNUInstallDirs)

set(CPACK_PACKAGE_NAME botpilot)
set(CPACK_PACKAGE_VENDOR "the botpilot team")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
    "A console client that drives a robot in a networked battle, and the arena to fight in")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})

if(WIN32)
    configure_file(${PROJECT_SOURCE_DIR}/cmake/windows-readme.txt.in README.txt @ONLY
        NEWLINE_STYLE CRLF)
    install(TARGETS botpilot RUNTIME DESTINATION .)
    install(FILES ${PROJECT_BINARY_DIR}/README.txt DESTINATION .)
    set(CPACK_GENERATOR ZIP)
    set(CPACK_PACKAGE_FILE_NAME "botpilot-${PROJECT_VERSION}-windows-x86_64")
else()
    install(TARGETS botpilot botarena RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
    install(FILES README.md DESTINATION ${CMAKE_INSTALL_DOCDIR})
    install(FILES arena/README.md DESTINATION ${CMAKE_INSTALL_DOCDIR} RENAME README-botarena.md)
    set(CPACK_GENERATOR TGZ)
    set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
    set(CPACK_DEBIAN_PACKAGE_MAINTAINER "the botpilot team")
    set(CPACK_DEBIAN_PACKAGE_SECTION games)
    # The shared libraries the two programs link (the C++ runtime, cpp-httplib, zlib) become the
    # package's dependencies.
    set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
    set(CPACK_PACKAGE_FILE_NAME "botpilot-${PROJECT_VERSION}-linux-${CMAKE_SYSTEM_PROCESSOR}")
endif()
include(CPack)
