# SPDX-License-Identifier: MIT
# The Debian package (cpack -G DEB in the build folder): its control fields, the manual
# page, the Debian changelog and copyright, stripped binaries with a -dbgsym package, and
# the compiler options that keep the build folder out of the binaries.
set(packaging_dir ${PROJECT_SOURCE_DIR}/packaging)

# Reproducible and relocatable: paths in debug data and __FILE__ name the source and build
# folders by short fixed names. Included last, so it reaches every target made so far; the
# build folder's mapping comes last because it may lie inside the source folder. moc output
# includes its header by include path (AUTOMOC_PATH_PREFIX, off by default) rather than by
# a relative path from the build folder, which would carry the source folder's absolute
# path into the debug data when the build folder lies elsewhere. The hardening flags are
# those Debian builds with.
function(tollwick_reproducible_flags dir)
    get_property(targets DIRECTORY ${dir} PROPERTY BUILDSYSTEM_TARGETS)
    foreach(target IN LISTS targets)
        get_target_property(type ${target} TYPE)
        if(type MATCHES "EXECUTABLE|LIBRARY" AND NOT type STREQUAL "INTERFACE_LIBRARY")
            target_compile_options(${target} PRIVATE
                -ffile-prefix-map=${PROJECT_SOURCE_DIR}=.
                -ffile-prefix-map=${PROJECT_BINARY_DIR}=build
                -fstack-protector-strong $<$<NOT:$<CONFIG:Debug>>:-D_FORTIFY_SOURCE=2>)
            target_link_options(${target} PRIVATE -Wl,-z,relro -Wl,-z,now)
            set_property(TARGET ${target} PROPERTY AUTOMOC_PATH_PREFIX ON)
        endif()
    endforeach()
    get_property(subdirs DIRECTORY ${dir} PROPERTY SUBDIRECTORIES)
    foreach(subdir IN LISTS subdirs)
        tollwick_reproducible_flags(${subdir})
    endforeach()
endfunction()
tollwick_reproducible_flags(${PROJECT_SOURCE_DIR})

# The manual page and the Debian changelog go in compressed without a time stamp, as
# Debian policy asks (gzip -9n).
set(doc_dir ${CMAKE_INSTALL_DATAROOTDIR}/doc/tollwick)
set(packaging_gz)
foreach(pair "tollwick.1;tollwick.1.gz" "changelog;changelog.Debian.gz")
    list(GET pair 0 source)
    list(GET pair 1 target)
    add_custom_command(OUTPUT ${CMAKE_CURRENT_BINARY_DIR}/packaging/${target}
        COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_CURRENT_BINARY_DIR}/packaging
        COMMAND gzip -9n -c ${packaging_dir}/${source} > ${CMAKE_CURRENT_BINARY_DIR}/packaging/${target}
        DEPENDS ${packaging_dir}/${source} VERBATIM)
    list(APPEND packaging_gz ${CMAKE_CURRENT_BINARY_DIR}/packaging/${target})
endforeach()
add_custom_target(packaging_files ALL DEPENDS ${packaging_gz})
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/packaging/tollwick.1.gz
        DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/packaging/changelog.Debian.gz ${packaging_dir}/copyright
        DESTINATION ${doc_dir})

# Time stamps in the archive: the date of the last changelog entry, as Debian builds do.
execute_process(COMMAND dpkg-parsechangelog -l ${packaging_dir}/changelog -S Timestamp
                OUTPUT_VARIABLE CPACK_TOLLWICK_SOURCE_DATE_EPOCH
                OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET)
set(CPACK_PROJECT_CONFIG_FILE ${packaging_dir}/cpack-project.cmake)

set(CPACK_PACKAGE_NAME tollwick)
set(CPACK_PACKAGE_VENDOR "Tollwick developers")
set(CPACK_PACKAGE_CONTACT "Tollwick developers <tollwick@users.noreply.github.com>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Small Japanese desk alarm")
set(CPACK_PACKAGE_DESCRIPTION_FILE ${packaging_dir}/description.txt)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_DEBIAN_PACKAGE_RELEASE 1)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Strips the binaries and puts their debug data into tollwick-dbgsym.
set(CPACK_DEBIAN_DEBUGINFO_PACKAGE ON)
# Beyond the shared libraries: the window system plugin and a Japanese font.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins, fonts-ipafont-gothic | fonts-noto-cjk")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "qt6-wayland, pulseaudio | pipewire-pulse")
# Not the umask of whoever builds the package.
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
set(CPACK_GENERATOR DEB)
include(CPack)
