# Writes SITE/files.json: every file the program reads from its own folder
# (the pack, the pointer, the languages), each with its size in bytes.
file(GLOB_RECURSE languages RELATIVE ${SITE} ${SITE}/Mnemora.languages/*)
list(SORT languages)
set(entries "")
foreach(name Mnemora.data Mnemora.pointer ${languages})
    file(SIZE ${SITE}/${name} size)
    list(APPEND entries "  {\"path\": \"${name}\", \"size\": ${size}}")
endforeach()
list(JOIN entries ",\n" body)
file(WRITE ${SITE}/files.json.new "[\n${body}\n]\n")
file(COPY_FILE ${SITE}/files.json.new ${SITE}/files.json ONLY_IF_DIFFERENT)
file(REMOVE ${SITE}/files.json.new)
