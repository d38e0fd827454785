# Makes the Windows test kit's zip:
#   cmake -DFILES=a;b;... -DWORK=... -DOUT=.../QXLauncher-1.00-win32-tests.zip -DZIP=... -P package-tests.cmake
# The files sit in one folder named after the zip; batch files get Windows line endings, for cmd.exe.
cmake_minimum_required(VERSION 3.20)

include(${CMAKE_CURRENT_LIST_DIR}/package-args.cmake)
qx_package_args(package-tests.cmake FILES WORK OUT)

get_filename_component(folder "${OUT}" NAME)
string(REGEX REPLACE "\\.zip$" "" folder "${folder}")
file(REMOVE_RECURSE "${WORK}")
file(MAKE_DIRECTORY "${WORK}/${folder}")
file(REMOVE "${OUT}") # zip adds to an existing archive
foreach(file ${FILES})
    get_filename_component(name "${file}" NAME)
    if(name MATCHES "\\.cmd$")
        file(READ "${file}" text)
        string(REPLACE "\r\n" "\n" text "${text}")
        string(REPLACE "\n" "\r\n" text "${text}")
        file(WRITE "${WORK}/${folder}/${name}" "${text}")
    else()
        configure_file("${file}" "${WORK}/${folder}/${name}" COPYONLY)
    endif()
endforeach()
execute_process(COMMAND ${CMAKE_COMMAND} -E env --unset=ZIPOPT --unset=ZIP "${ZIP}" -q -r -X "${OUT}" "${folder}"
                WORKING_DIRECTORY "${WORK}" COMMAND_ERROR_IS_FATAL ANY)
