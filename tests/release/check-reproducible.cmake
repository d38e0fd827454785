# Fails unless two builds of the release exe and zip are byte-identical:
#   cmake -DSOURCE=... -DWORK=... -P check-reproducible.cmake
# The first build is of SOURCE itself, dated by git; the second, a few seconds later, of a copy of it in another
# folder, dated by SOURCE_DATE_EPOCH, in another time zone and umask. WORK is made and emptied again. It also fails
# if the zip's entries are not all in its one folder, QXLauncher-1.00/, or either build's folders show in the exe.
cmake_minimum_required(VERSION 3.20)
set(preset win32)
if(DEFINED ENV{SOURCE_DATE_EPOCH})
    set(epoch "$ENV{SOURCE_DATE_EPOCH}")
else()
    execute_process(COMMAND git -C "${SOURCE}" log -1 --format=%ct OUTPUT_VARIABLE epoch RESULT_VARIABLE status
                    OUTPUT_STRIP_TRAILING_WHITESPACE)
    if(NOT status EQUAL 0)
        message(FATAL_ERROR "cannot date the build: ${SOURCE} is not a git checkout and SOURCE_DATE_EPOCH is not set")
    endif()
endif()
file(REMOVE_RECURSE "${WORK}")

# The copy: the working tree as it is (edits included), without builds and git's data.
set(copy "${WORK}/second/source-copy")
file(GLOB entries LIST_DIRECTORIES true "${SOURCE}/*")
list(FILTER entries EXCLUDE REGEX "/(build|\\.git)$")
file(COPY ${entries} DESTINATION "${copy}")

# release(SOURCE BUILD UMASK ENV...): configures the release preset into BUILD and builds the exe and the zip only.
function(release source build umask)
    execute_process(COMMAND ${CMAKE_COMMAND} -E env ${ARGN}
                            sh -c "umask ${umask} && \"$0\" --preset ${preset} -B \"$1\" && \"$0\" --build \"$1\" -j2 --target QXLauncher package_release"
                            "${CMAKE_COMMAND}" "${build}"
                    WORKING_DIRECTORY "${source}" RESULT_VARIABLE status OUTPUT_VARIABLE log ERROR_VARIABLE log)
    if(NOT status EQUAL 0)
        message(FATAL_ERROR "build in ${build} failed:\n${log}")
    endif()
endfunction()
set(first "${WORK}/first/build")
set(second "${WORK}/second/a-longer-build-folder-name")
release("${SOURCE}" "${first}" 022 TZ=UTC0)
# Past a whole second and a zip timestamp's two, so a clock that leaks in shows.
execute_process(COMMAND ${CMAKE_COMMAND} -E sleep 3)
release("${copy}" "${second}" 077 SOURCE_DATE_EPOCH=${epoch} TZ=XYZ-9:30)

foreach(file ui/QXLauncher.exe QXLauncher-1.00-${preset}.zip)
    execute_process(COMMAND ${CMAKE_COMMAND} -E compare_files "${first}/${file}" "${second}/${file}"
                    RESULT_VARIABLE different)
    file(SIZE "${first}/${file}" size)
    if(different)
        execute_process(COMMAND cmp -l "${first}/${file}" "${second}/${file}" OUTPUT_VARIABLE bytes)
        string(SUBSTRING "${bytes}" 0 400 bytes)
        message(SEND_ERROR "DIFFERENT: ${file}; differing bytes (offset, first, second in octal):\n${bytes}")
    else()
        message("identical: ${file} (${size} bytes)")
    endif()
endforeach()
# The zip unpacks into a folder of its own, never loose beside what lies where it is unpacked.
execute_process(COMMAND ${CMAKE_COMMAND} -E tar tf "${first}/QXLauncher-1.00-${preset}.zip" OUTPUT_VARIABLE entries)
if(NOT entries STREQUAL "QXLauncher-1.00/QXLauncher.exe\nQXLauncher-1.00/README.txt\n")
    message(SEND_ERROR "the zip's entries are not in the folder QXLauncher-1.00/:\n${entries}")
endif()
# Neither build's folders may show inside the exe.
foreach(exe "${first}/ui/QXLauncher.exe" "${second}/ui/QXLauncher.exe")
    file(READ "${exe}" bytes HEX)
    foreach(folder "${SOURCE}" "${copy}" "${first}" "${second}")
        string(HEX "${folder}" hex)
        string(FIND "${bytes}" "${hex}" at)
        set(from 0)
        # A match counts at a whole byte only.
        while(at GREATER -1)
            math(EXPR odd "(${from} + ${at}) % 2")
            if(NOT odd)
                break()
            endif()
            math(EXPR from "${from} + ${at} + 1")
            string(SUBSTRING "${bytes}" ${from} -1 rest)
            string(FIND "${rest}" "${hex}" at)
        endwhile()
        if(NOT at EQUAL -1)
            message(SEND_ERROR "${exe} contains the build folder ${folder}")
        endif()
    endforeach()
endforeach()
file(REMOVE_RECURSE "${WORK}")
