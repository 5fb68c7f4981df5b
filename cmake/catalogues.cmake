# The message catalogues: each language of po/LINGUAS is compiled by msgfmt
# from po/<lang>.po into <build>/locale/<lang>/LC_MESSAGES/velmora.mo, where
# the programs of the build folder find them beside themselves, and installed
# below the locale folder (share/locale), where an installed program finds
# them relative to its own folder. A program without them shows its built-in
# texts (shell/ui_language.h).
include(GNUInstallDirs)

find_program(VELMORA_MSGFMT msgfmt REQUIRED)

file(STRINGS ${CMAKE_SOURCE_DIR}/po/LINGUAS velmora_languages REGEX "^[a-zA-Z]")
set(velmora_catalogue_files)
foreach(lang ${velmora_languages})
  set(dir ${CMAKE_BINARY_DIR}/locale/${lang}/LC_MESSAGES)
  add_custom_command(OUTPUT ${dir}/velmora.mo
    COMMAND ${CMAKE_COMMAND} -E make_directory ${dir}
    COMMAND ${VELMORA_MSGFMT} --check -o ${dir}/velmora.mo ${CMAKE_SOURCE_DIR}/po/${lang}.po
    DEPENDS ${CMAKE_SOURCE_DIR}/po/${lang}.po VERBATIM)
  list(APPEND velmora_catalogue_files ${dir}/velmora.mo)
  install(FILES ${dir}/velmora.mo DESTINATION ${CMAKE_INSTALL_LOCALEDIR}/${lang}/LC_MESSAGES)
endforeach()
add_custom_target(velmora_catalogues ALL DEPENDS ${velmora_catalogue_files})
foreach(program velmora velmora-cli)
  if(TARGET ${program})
    add_dependencies(${program} velmora_catalogues)
  endif()
endforeach()

# Where the programs look for installed catalogues, relative to their folder.
file(RELATIVE_PATH velmora_locale_rel ${CMAKE_INSTALL_FULL_BINDIR} ${CMAKE_INSTALL_FULL_LOCALEDIR})
target_compile_definitions(velmora_shell PRIVATE VELMORA_LOCALE_DIR_FROM_BIN="${velmora_locale_rel}")
