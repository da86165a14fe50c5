# cmake -DMODE=installer|zip -DGAME_DIR=... -DWORK_DIR=... -DOUT_DIR=... -DVERSION=...
#       -DICON=... -DNSIS_SCRIPT=... -DMAKENSIS=... -DZIP=... [-DSTRIP=...] -P pack.cmake
#
# Packs the game folder: MODE=installer runs makensis on Mnemora.nsi with the
# lists of files to install and to remove; MODE=zip writes the portable ZIP.
# Files a player's runs leave in the game folder (settings, progress, logs,
# screenshots) are never packed, so packing a folder the game was tried in
# still gives a clean package.
cmake_minimum_required(VERSION 3.25)

file(GLOB_RECURSE files RELATIVE ${GAME_DIR} LIST_DIRECTORIES false ${GAME_DIR}/*)
list(FILTER files EXCLUDE REGEX "^(Mnemora\\.prefs|Mnemora\\.scores|Log .*\\.log|Mnemora .*\\.bmp)$")
list(SORT files)
if(NOT "Mnemora.exe" IN_LIST files)
    message(FATAL_ERROR "${GAME_DIR}/Mnemora.exe is missing: build the game first")
endif()

# Each mode has its own scratch folder: the two targets may run at once.
set(WORK_DIR ${WORK_DIR}/${MODE})
file(REMOVE_RECURSE ${WORK_DIR})
file(MAKE_DIRECTORY ${WORK_DIR})

# The program is packed without its debugging symbols (18 MB of them with
# RelWithDebInfo), as `cmake --install --strip` installs it on Linux; the
# game folder keeps the full program for debugging.
set(program ${GAME_DIR}/Mnemora.exe)
if(STRIP)
    set(program ${WORK_DIR}/stripped/Mnemora.exe)
    file(COPY ${GAME_DIR}/Mnemora.exe DESTINATION ${WORK_DIR}/stripped)
    execute_process(COMMAND ${STRIP} ${program} RESULT_VARIABLE rc)
    if(NOT rc EQUAL 0)
        message(FATAL_ERROR "${STRIP} failed (${rc})")
    endif()
endif()
function(source_of f out)
    if(f STREQUAL "Mnemora.exe")
        set(${out} ${program} PARENT_SCOPE)
    else()
        set(${out} ${GAME_DIR}/${f} PARENT_SCOPE)
    endif()
endfunction()

if(MODE STREQUAL "installer")
    if(NOT MAKENSIS)
        message(FATAL_ERROR "makensis is missing (Debian package nsis)")
    endif()
    # Install: one SetOutPath per folder, then its files. Uninstall: exactly
    # those files, then the folders deepest first with RMDir (not /r), which
    # leaves a folder alone when something else is in it.
    set(install "")
    set(uninstall "")
    set(dirs "")
    set(current "-")
    set(bytes 0)
    foreach(f IN LISTS files)
        get_filename_component(dir ${f} DIRECTORY)
        if(NOT dir STREQUAL current)
            set(current ${dir})
            if(dir STREQUAL "")
                string(APPEND install "SetOutPath \"$INSTDIR\"\n")
            else()
                string(REPLACE "/" "\\" wdir ${dir})
                string(APPEND install "SetOutPath \"$INSTDIR\\${wdir}\"\n")
                # Every parent of the folder too, so that empty parents go.
                set(d ${dir})
                while(NOT d STREQUAL "")
                    list(APPEND dirs ${d})
                    get_filename_component(d ${d} DIRECTORY)
                endwhile()
            endif()
        endif()
        source_of(${f} src)
        string(APPEND install "File \"${src}\"\n")
        string(REPLACE "/" "\\" wf ${f})
        string(APPEND uninstall "Delete \"$INSTDIR\\${wf}\"\n")
        file(SIZE ${src} size)
        math(EXPR bytes "${bytes} + ${size}")
    endforeach()
    list(REMOVE_DUPLICATES dirs)
    # Longest path first: a folder before its parent.
    set(keyed "")
    foreach(d IN LISTS dirs)
        string(LENGTH ${d} n)
        math(EXPR n "10000 + ${n}")
        list(APPEND keyed "${n}|${d}")
    endforeach()
    list(SORT keyed ORDER DESCENDING)
    foreach(k IN LISTS keyed)
        string(REGEX REPLACE "^[0-9]+\\|" "" d ${k})
        string(REPLACE "/" "\\" wd ${d})
        string(APPEND uninstall "RMDir \"$INSTDIR\\${wd}\"\n")
    endforeach()
    file(WRITE ${WORK_DIR}/install-files.nsh ${install})
    file(WRITE ${WORK_DIR}/uninstall-files.nsh ${uninstall})
    math(EXPR kib "(${bytes} + 1023) / 1024")

    set(outfile ${OUT_DIR}/Mnemora-${VERSION}-setup.exe)
    execute_process(
        COMMAND ${MAKENSIS} -V2 -NOCD
                -DVERSION=${VERSION} -DOUTFILE=${outfile} -DICON=${ICON}
                -DINSTALL_FILES=${WORK_DIR}/install-files.nsh
                -DUNINSTALL_FILES=${WORK_DIR}/uninstall-files.nsh
                -DESTIMATED_SIZE=${kib} ${NSIS_SCRIPT}
        RESULT_VARIABLE rc)
    if(NOT rc EQUAL 0)
        message(FATAL_ERROR "makensis failed (${rc})")
    endif()
    message(STATUS "Wrote ${outfile}")
elseif(MODE STREQUAL "zip")
    if(NOT ZIP)
        message(FATAL_ERROR "zip is missing (Debian package zip)")
    endif()
    # The ZIP unpacks to one folder "Mnemora" holding the game and an empty
    # "Mnemora.prefs": that file beside the program keeps settings, progress,
    # logs and screenshots in the folder itself, which is what a portable copy
    # is for. The game fills the file in when it first quits.
    set(stage ${WORK_DIR}/Mnemora)
    foreach(f IN LISTS files)
        get_filename_component(dir ${f} DIRECTORY)
        source_of(${f} src)
        file(COPY ${src} DESTINATION ${stage}/${dir})
    endforeach()
    file(WRITE ${stage}/Mnemora.prefs "")
    set(outfile ${OUT_DIR}/Mnemora-${VERSION}-portable.zip)
    file(REMOVE ${outfile})
    execute_process(COMMAND ${ZIP} -q -r -X -9 ${outfile} Mnemora
                    WORKING_DIRECTORY ${WORK_DIR} RESULT_VARIABLE rc)
    if(NOT rc EQUAL 0)
        message(FATAL_ERROR "zip failed (${rc})")
    endif()
    message(STATUS "Wrote ${outfile}")
else()
    message(FATAL_ERROR "MODE must be installer or zip")
endif()
