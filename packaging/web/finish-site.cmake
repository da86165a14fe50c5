# Run at build time once every other file of the web site is in its folder:
# writes sw.js from its template with the list of the site's files (those in
# subfolders too, such as the languages) and a cache
# name hashed from their names and contents, so that any change to any file
# makes browsers fetch the new build.
#   cmake -DSITE_DIR=... -DTEMPLATE=.../sw.js.in -P finish-site.cmake
cmake_policy(VERSION 3.20)
if(NOT IS_DIRECTORY "${SITE_DIR}")
    message(FATAL_ERROR "no site folder at ${SITE_DIR}")
endif()
file(GLOB_RECURSE entries RELATIVE "${SITE_DIR}" "${SITE_DIR}/*")
list(SORT entries)
set(files "")
set(digests "")
foreach(name IN LISTS entries)
    if(name STREQUAL "sw.js")
        continue()
    endif()
    file(SHA256 "${SITE_DIR}/${name}" digest)
    string(APPEND digests "${name} ${digest}\n")
    # As a URL relative to the site: blanks and quotes escaped.
    string(REPLACE "%" "%25" url "${name}")
    string(REPLACE " " "%20" url "${url}")
    string(REPLACE "'" "%27" url "${url}")
    list(APPEND files "'${url}'")
endforeach()
foreach(needed index.html mnemora-page.js mnemora.js mnemora.wasm)
    if(NOT needed IN_LIST entries)
        message(WARNING "the web site has no ${needed}")
    endif()
endforeach()
string(SHA256 hash "${digests}")
string(SUBSTRING "${hash}" 0 16 MNEMORA_SITE_HASH)
list(JOIN files ", " MNEMORA_SITE_FILES)
configure_file("${TEMPLATE}" "${SITE_DIR}/sw.js" @ONLY)
