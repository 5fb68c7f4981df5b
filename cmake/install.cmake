# Install rules: `cmake --install` (and `make install`) lays out the programs,
# the sample settings, the desktop entry, the icons, the AppStream metainfo,
# the manual pages, bash completion and the package documents below the
# prefix, as freedesktop and Debian expect. An installed program finds the
# sample relative to its own folder, so a copy extracted anywhere (DESTDIR, a
# scratch root) works as it would under /usr.
include(GNUInstallDirs)

# A build folder that had the precise parser and lost it on a later configure
# (another HOME, a cache folder removed) would install programs that quietly
# read every source with the statement parser: refused before anything is
# copied (cmake/tree_sitter.cmake explains the way out).
if(VELMORA_PRECISE_LOST)
  install(CODE "message(FATAL_ERROR \"Not installed: this build had the precise parser and has \"
                \"lost it (no grammars in ${VELMORA_GRAMMAR_DIR}). Run scripts/fetch-grammars and \"
                \"build again, or configure with -DVELMORA_WITHOUT_PRECISE=ON to install without \"
                \"it.\")")
endif()

set(VELMORA_PACKAGING ${CMAKE_SOURCE_DIR}/packaging)
set(VELMORA_APP_ID org.velmora.velmora)  # AppStream id, fixed once published

# Where the programs look for the sample settings, relative to their folder.
file(RELATIVE_PATH velmora_sample_rel ${CMAKE_INSTALL_FULL_BINDIR}
     ${CMAKE_INSTALL_FULL_DATADIR}/velmora)
target_compile_definitions(velmora_shell PRIVATE VELMORA_SAMPLE_DIR_FROM_BIN="${velmora_sample_rel}")

# Manual pages and the changelog are installed compressed, without names or
# times in the gzip header, so every build gives the same bytes.
find_program(VELMORA_GZIP gzip REQUIRED)
set(velmora_gz_files)
foreach(src man/velmora.1 man/velmora-cli.1 man/velmora-lsp.1 debian/changelog)
  get_filename_component(name ${src} NAME)
  set(out ${CMAKE_BINARY_DIR}/packaging/${name}.gz)
  add_custom_command(OUTPUT ${out}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/packaging
    COMMAND sh -c "'${VELMORA_GZIP}' -9 -n -c '${VELMORA_PACKAGING}/${src}' > '${out}'"
    DEPENDS ${VELMORA_PACKAGING}/${src} VERBATIM)
  list(APPEND velmora_gz_files ${out})
endforeach()
add_custom_target(velmora_install_docs ALL DEPENDS ${velmora_gz_files})

if(TARGET velmora-cli)
  install(TARGETS velmora-cli RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  install(FILES ${CMAKE_BINARY_DIR}/packaging/velmora-cli.1.gz
          DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
  install(FILES ${VELMORA_PACKAGING}/velmora-cli.bash-completion
          DESTINATION ${CMAKE_INSTALL_DATADIR}/bash-completion/completions RENAME velmora-cli)
endif()
if(TARGET velmora-lsp)
  install(TARGETS velmora-lsp RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  install(FILES ${CMAKE_BINARY_DIR}/packaging/velmora-lsp.1.gz
          DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
endif()
if(TARGET velmora)
  install(TARGETS velmora RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  install(FILES ${CMAKE_BINARY_DIR}/packaging/velmora.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
  install(FILES ${VELMORA_PACKAGING}/velmora.desktop
          DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
  install(FILES ${VELMORA_PACKAGING}/${VELMORA_APP_ID}.metainfo.xml
          DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
  set(icons ${CMAKE_INSTALL_DATADIR}/icons/hicolor)
  install(FILES ${VELMORA_PACKAGING}/icons/velmora.svg DESTINATION ${icons}/scalable/apps)
  foreach(size 48 256)
    install(FILES ${VELMORA_PACKAGING}/icons/velmora-${size}.png
            DESTINATION ${icons}/${size}x${size}/apps RENAME velmora.png)
  endforeach()
endif()
install(FILES ${CMAKE_SOURCE_DIR}/resources/velmora.ini DESTINATION ${CMAKE_INSTALL_DATADIR}/velmora)
install(FILES ${VELMORA_PACKAGING}/debian/copyright ${CMAKE_BINARY_DIR}/packaging/changelog.gz
        DESTINATION ${CMAKE_INSTALL_DOCDIR})
