# Puts the starting settings beside the built program unless a config.ini is there already: the
# viewer writes its view back to that file, and a rebuild must not undo it.
#   cmake -DSOURCE=packaging/config.ini -DDESTINATION=build/config.ini -P starting_config.cmake
if(NOT EXISTS "${DESTINATION}" AND NOT IS_SYMLINK "${DESTINATION}")
  file(COPY_FILE "${SOURCE}" "${DESTINATION}")
endif()
