# Installs the build into a scratch prefix and checks what lands there: the programs, the help file,
# the desktop entry, the icons, the MIME type and the AppStream description, the last two validated
# by the tools desktops use.
if(NOT BUILD_DIR OR NOT PREFIX)
    message(FATAL_ERROR "usage: cmake -DBUILD_DIR=<build> -DPREFIX=<scratch> -P CheckInstall.cmake")
endif()
file(REMOVE_RECURSE "${PREFIX}")
execute_process(COMMAND "${CMAKE_COMMAND}" --install "${BUILD_DIR}" --prefix "${PREFIX}"
                RESULT_VARIABLE result OUTPUT_QUIET)
if(NOT result EQUAL 0)
    message(FATAL_ERROR "cmake --install failed (${result})")
endif()

set(expected
    bin/trawlix
    bin/trawlix-cli
    bin/trawlix-render
    bin/help/index.html
    bin/help/feedback.html
    share/trawlix/trawlix.chm
    share/applications/org.trawlix.Trawlix.desktop
    share/metainfo/org.trawlix.Trawlix.metainfo.xml
    share/mime/packages/trawlix.xml
    share/icons/hicolor/scalable/apps/org.trawlix.Trawlix.svg
    share/icons/hicolor/scalable/mimetypes/application-x-trawlix-project.svg)
foreach(path IN LISTS expected)
    if(NOT EXISTS "${PREFIX}/${path}")
        message(FATAL_ERROR "not installed: ${path}")
    endif()
endforeach()

file(READ "${PREFIX}/share/applications/org.trawlix.Trawlix.desktop" desktop)
foreach(type application/x-trawlix-project application/vnd.ms-htmlhelp)
    if(NOT desktop MATCHES "MimeType=[^\n]*${type}")
        message(FATAL_ERROR "the desktop entry does not open ${type}")
    endif()
endforeach()

execute_process(COMMAND desktop-file-validate "${PREFIX}/share/applications/org.trawlix.Trawlix.desktop"
                RESULT_VARIABLE result OUTPUT_VARIABLE out ERROR_VARIABLE out)
if(NOT result EQUAL 0 OR out MATCHES "error:|warning:")
    message(FATAL_ERROR "desktop-file-validate: ${out}")
endif()
execute_process(COMMAND appstreamcli validate --no-net "${PREFIX}/share/metainfo/org.trawlix.Trawlix.metainfo.xml"
                RESULT_VARIABLE result OUTPUT_VARIABLE out ERROR_VARIABLE out)
if(NOT result EQUAL 0)
    message(FATAL_ERROR "appstreamcli validate: ${out}")
endif()
message(STATUS "installed and valid")
