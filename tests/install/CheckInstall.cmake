# Installs the build into a fresh prefix, as a packager or `cmake --install --prefix P`
# does, and checks that everything lands where desktops look for it: the programs in
# bin, the help file with the shared data, the desktop entry passing the file it opens,
# our icon in the hicolor theme and the file type of listings.
#
#   cmake -DBUILD_DIR=... -DPREFIX=... -DBINDIR=bin -DDATADIR=share -DEXAMPLES=...
#         [-DDESKTOP_FILE_VALIDATE=...] [-DUPDATE_MIME_DATABASE=...] [-DGIO=...]
#         -P CheckInstall.cmake

cmake_minimum_required(VERSION 3.25)

file(REMOVE_RECURSE "${PREFIX}")
execute_process(COMMAND "${CMAKE_COMMAND}" --install "${BUILD_DIR}" --prefix "${PREFIX}"
                RESULT_VARIABLE status OUTPUT_VARIABLE output ERROR_VARIABLE output)
if(status)
  message(FATAL_ERROR "cmake --install failed:\n${output}")
endif()

set(share "${PREFIX}/${DATADIR}")
set(entry "${share}/applications/voraxextract.desktop")
set(mime "${share}/mime/packages/voraxextract.xml")
foreach(file "${PREFIX}/${BINDIR}/voraxextract" "${PREFIX}/${BINDIR}/voraxextract-cli"
             "${share}/voraxextract/VoraxExtract.chm" "${entry}"
             "${share}/icons/hicolor/scalable/apps/voraxextract.svg" "${mime}")
  if(NOT EXISTS "${file}")
    message(SEND_ERROR "not installed: ${file}")
  endif()
endforeach()
file(GLOB in_bin RELATIVE "${PREFIX}/${BINDIR}" "${PREFIX}/${BINDIR}/*")
list(SORT in_bin)
if(NOT in_bin STREQUAL "voraxextract;voraxextract-cli")
  message(SEND_ERROR "${BINDIR} holds more than the programs: ${in_bin}")
endif()

# The entry starts the window on the file it is given, with our icon, for listings.
file(STRINGS "${entry}" lines)
foreach(wanted "Exec=voraxextract %f" "Icon=voraxextract"
               "MimeType=text/x-vorax-listing;application/x-vorax-listing-gzip;application/x-vorax-listing-zstd;application/x-vorax-listing-xz;")
  if(NOT wanted IN_LIST lines)
    message(SEND_ERROR "${entry} lacks the line '${wanted}'")
  endif()
endforeach()

if(DESKTOP_FILE_VALIDATE)
  execute_process(COMMAND "${DESKTOP_FILE_VALIDATE}" "${entry}" RESULT_VARIABLE status
                  OUTPUT_VARIABLE output ERROR_VARIABLE output)
  if(status OR NOT output STREQUAL "")
    message(SEND_ERROR "desktop-file-validate ${entry}:\n${output}")
  endif()
endif()

# The file type as a desktop sees it once the installed database is built: a listing by
# its identification line whatever its name, and another program's .out not.
if(UPDATE_MIME_DATABASE)
  # Looked up as the user's own data, so that it does not warn of a folder no desktop reads.
  set(as_user_data "${CMAKE_COMMAND}" -E env "XDG_DATA_HOME=${share}"
                   "XDG_DATA_DIRS=/usr/local/share:/usr/share")
  execute_process(COMMAND ${as_user_data} "${UPDATE_MIME_DATABASE}" "${share}/mime"
                  RESULT_VARIABLE status OUTPUT_VARIABLE output ERROR_VARIABLE output)
  if(status OR NOT output STREQUAL "" OR NOT EXISTS "${share}/mime/text/x-vorax-listing.xml")
    message(SEND_ERROR "update-mime-database does not take ${mime}:\n${output}")
  endif()
  if(GIO)
    set(probe "${PREFIX}/probe")
    file(MAKE_DIRECTORY "${probe}")
    file(COPY_FILE "${EXAMPLES}/thermal.out" "${probe}/thermal.out")
    file(COPY_FILE "${EXAMPLES}/thermal.out" "${probe}/listing-without-ending")
    file(WRITE "${probe}/notes" "Results of run 12, see the listing.\n")
    # Another program's .out: its content, not its name, decides.
    file(WRITE "${probe}/solver.out" "Iteration 1: residual 1.2E-03\nConverged.\n")
    # Archived listings, by their names; another compressed file stays what it is.
    set(cases "thermal.out=text/x-vorax-listing" "listing-without-ending=text/x-vorax-listing"
              "notes=text/plain" "solver.out=text/plain")
    find_program(GZIP gzip)
    if(GZIP)
      execute_process(COMMAND "${GZIP}" -k "${probe}/thermal.out" "${probe}/notes")
      list(APPEND cases "thermal.out.gz=application/x-vorax-listing-gzip"
                        "notes.gz=application/gzip")
    endif()
    foreach(case ${cases})
      string(REPLACE "=" ";" case "${case}")
      list(GET case 0 name)
      list(GET case 1 type)
      execute_process(COMMAND ${as_user_data} "${GIO}" info -a standard::content-type
                              "${probe}/${name}" OUTPUT_VARIABLE output ERROR_VARIABLE output)
      if(NOT output MATCHES "content-type: ${type}\n")
        message(SEND_ERROR "${name} should be of type ${type}:\n${output}")
      endif()
    endforeach()
  endif()
endif()
