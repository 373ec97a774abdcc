# SPDX-License-Identifier: GPL-3.0-or-later
# Writes the site's service worker from its source (WORKER) with the build's version, a hash of the names and
# contents of every file in the site folder (SITE), and the list of those files, so that it keeps whatever the
# site holds.
#
# usage: cmake -DSITE=<site folder> -DWORKER=<web/service_worker.js> -P offline_site.cmake
get_filename_component(SITE "${SITE}" ABSOLUTE)
file(GLOB_RECURSE files LIST_DIRECTORIES false RELATIVE "${SITE}" "${SITE}/*")
list(REMOVE_ITEM files service_worker.js)
list(SORT files)
set(contents "")
set(urls "")
foreach(file IN LISTS files)
    file(SHA256 "${SITE}/${file}" hash)
    string(APPEND contents "${file} ${hash}\n")
    string(APPEND urls "\n    '${file}',")
endforeach()
string(SHA256 version "${contents}")
string(SUBSTRING "${version}" 0 16 version)

set(unbuilt "const version = 'unbuilt';\nconst files = [];")
file(READ "${WORKER}" source)
string(FIND "${source}" "${unbuilt}" at)
if(at EQUAL -1)
    message(FATAL_ERROR "${WORKER} has no line `const version = 'unbuilt';` followed by `const files = [];`")
endif()
string(REPLACE "${unbuilt}" "const version = '${version}';\nconst files = [${urls}\n];" source "${source}")
file(WRITE "${SITE}/service_worker.js" "${source}")
