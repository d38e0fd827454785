# Makes the release zip, the same bytes from every build of one commit:
#   cmake -DEXE=... -DNOTES=... -DSOURCE_DIR=... -DWORK=... -DOUT=... -DZIP=... -P package.cmake
# Every entry sits in one folder named after the zip less its architecture (QXLauncher-1.00-win32.zip holds
# QXLauncher-1.00/QXLauncher.exe and QXLauncher-1.00/README.txt), so unpacking it where other files lie (Downloads)
# never puts the exe beside them.
# The entries are dated from the commit (SOURCE_DATE_EPOCH when set, else git's commit time), stored in a fixed order
# with fixed permissions and without owner or extra time fields, so neither the clock nor the builder's account, time
# zone or umask shows in the zip.
cmake_minimum_required(VERSION 3.20)

include(${CMAKE_CURRENT_LIST_DIR}/package-args.cmake)
qx_package_args(package.cmake EXE NOTES SOURCE_DIR WORK OUT)

if(DEFINED ENV{SOURCE_DATE_EPOCH})
    set(epoch "$ENV{SOURCE_DATE_EPOCH}")
    set(from "SOURCE_DATE_EPOCH")
else()
    execute_process(COMMAND git -C "${SOURCE_DIR}" log -1 --format=%ct
                    OUTPUT_VARIABLE epoch ERROR_VARIABLE git_error RESULT_VARIABLE git_status
                    OUTPUT_STRIP_TRAILING_WHITESPACE)
    if(NOT git_status EQUAL 0)
        message(FATAL_ERROR "package.cmake: cannot date the package from git (${git_status}): ${git_error}"
                            "Outside a git checkout, set SOURCE_DATE_EPOCH to the release commit's time in seconds.")
    endif()
    set(from "the commit")
endif()
# A zip entry's date is an MS-DOS date: 1980 to 2107.
if(NOT epoch MATCHES "^[0-9]+$" OR epoch LESS 315532800 OR epoch GREATER 4354819199)
    message(FATAL_ERROR "package.cmake: '${epoch}' from ${from} is not a time in seconds from 1980 to 2107")
endif()

get_filename_component(zip_name "${OUT}" NAME)
if(NOT zip_name MATCHES "^(.+)-[^-]+\\.zip$")
    message(FATAL_ERROR "package.cmake: '${zip_name}' is not named NAME-ARCH.zip")
endif()
set(folder "${CMAKE_MATCH_1}")

file(REMOVE_RECURSE "${WORK}")
file(MAKE_DIRECTORY "${WORK}/${folder}")
file(REMOVE "${OUT}") # zip adds to an existing archive

# The players' notes with Windows line endings, for Notepad.
file(READ "${NOTES}" text)
string(REPLACE "\r\n" "\n" text "${text}")
string(REPLACE "\n" "\r\n" text "${text}")
file(WRITE "${WORK}/${folder}/README.txt" "${text}")
configure_file("${EXE}" "${WORK}/${folder}/QXLauncher.exe" COPYONLY)

set(entries "${folder}/QXLauncher.exe" "${folder}/README.txt")
foreach(entry ${entries})
    file(CHMOD "${WORK}/${entry}" FILE_PERMISSIONS OWNER_READ OWNER_WRITE GROUP_READ WORLD_READ)
    execute_process(COMMAND touch -d "@${epoch}" "${WORK}/${entry}" COMMAND_ERROR_IS_FATAL ANY)
endforeach()
# zip writes local time: in UTC that is the commit's time everywhere. -X leaves out owner and extra time fields, -D
# directory entries: the folder has none, so its date and permissions never enter the zip, and extractors (Info-ZIP's
# unzip, Windows Explorer) make it from the entries' paths. ZIPOPT would add options of the builder's own.
execute_process(COMMAND ${CMAKE_COMMAND} -E env --unset=ZIPOPT --unset=ZIP TZ=UTC "${ZIP}" -q -X -D "${OUT}" ${entries}
                WORKING_DIRECTORY "${WORK}" COMMAND_ERROR_IS_FATAL ANY)
