# Copies SRC to DST unless DST exists: a user's own settings are never replaced.
if(NOT EXISTS "${DST}")
  configure_file("${SRC}" "${DST}" COPYONLY)
endif()
