# Lays out the defaults of a program folder beside the programs: the firmware placeholder in MASTER, the
# demo project and a first Mendral.xml that opens it. Run as a script at build and install time, so it
# sees the folder as it is then; it copies only what is missing, never replacing the user's settings,
# the demo as the user changed it, or a real firmware file put in place of the placeholder.
#   cmake -DSOURCE=<assets folder> -DFOLDER=<program folder> -P lay_out_program_folder.cmake
if(NOT SOURCE OR NOT FOLDER)
  message(FATAL_ERROR "lay_out_program_folder.cmake needs -DSOURCE=... and -DFOLDER=...")
endif()

function(copy_when_missing from to)
  if(NOT EXISTS "${to}")
    get_filename_component(parent "${to}" DIRECTORY)
    get_filename_component(name "${to}" NAME)
    file(MAKE_DIRECTORY "${parent}")
    # file(COPY) keeps the source's name, so a folder is copied into its parent.
    file(COPY "${from}" DESTINATION "${parent}")
    message(STATUS "Laid out ${to}")
  endif()
endfunction()

copy_when_missing("${SOURCE}/MASTER/Sim40512.sim" "${FOLDER}/MASTER/Sim40512.sim")
copy_when_missing("${SOURCE}/demo/PROJECTS/Demo" "${FOLDER}/PROJECTS/Demo")
copy_when_missing("${SOURCE}/demo/Mendral.xml" "${FOLDER}/Mendral.xml")
