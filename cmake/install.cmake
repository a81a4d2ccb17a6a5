# What `cmake --install` puts where for the Linux desktop program: the
# program, its launcher, its icon in the hicolor theme, the AppStream
# metainfo, the manual page and the package documents. The Debian package
# (tools/package.sh linux) is exactly this tree installed with --prefix /usr.
#
#   cmake --install <build> --prefix <P> [--strip]
#
# The Windows program is not installed this way (tools/package.sh windows).

if(NOT WIN32 AND TARGET marivo2)
  include(GNUInstallDirs)

  # Games go in their own folder of the prefix, as Debian keeps them
  # (/usr/games); GNUInstallDirs has no variable of its own for it.
  set(MARIVO_INSTALL_GAMESDIR "games" CACHE PATH
      "Where the game's executable is installed, relative to the prefix")

  set(marivo_linux_dir "${PROJECT_SOURCE_DIR}/packaging/linux")
  set(marivo_app_id "io.github.marivo2.marivo2")
  set(marivo_gen_dir "${PROJECT_BINARY_DIR}/packaging")
  set(marivo_icon_sizes 16 32 48 64 128 256)

  # The icon at every size the theme asks for, and the two documents the
  # Debian tools want compressed (gzip -n: no name or time stamp inside, so
  # the same sources give the same bytes).
  set(marivo_generated "")
  foreach(size IN LISTS marivo_icon_sizes)
    set(png "${marivo_gen_dir}/icons/${size}x${size}/marivo2.png")
    add_custom_command(OUTPUT "${png}"
      COMMAND ${CMAKE_COMMAND} -E make_directory "${marivo_gen_dir}/icons/${size}x${size}"
      COMMAND marivo_icon_png "${PROJECT_SOURCE_DIR}/assets/ui/icon.xpm" ${size} "${png}"
      DEPENDS marivo_icon_png "${PROJECT_SOURCE_DIR}/assets/ui/icon.xpm"
      COMMENT "Icon ${size}x${size}"
      VERBATIM)
    list(APPEND marivo_generated "${png}")
  endforeach()
  foreach(doc marivo2.6 changelog.Debian)
    add_custom_command(OUTPUT "${marivo_gen_dir}/${doc}.gz"
      COMMAND ${CMAKE_COMMAND} -E make_directory "${marivo_gen_dir}"
      COMMAND sh -c "gzip -9 -n -c \"$0\" > \"$1\"" "${marivo_linux_dir}/${doc}"
              "${marivo_gen_dir}/${doc}.gz"
      DEPENDS "${marivo_linux_dir}/${doc}"
      COMMENT "Compressing ${doc}"
      VERBATIM)
    list(APPEND marivo_generated "${marivo_gen_dir}/${doc}.gz")
  endforeach()
  add_custom_target(marivo_install_files ALL DEPENDS ${marivo_generated})

  install(TARGETS marivo2 RUNTIME DESTINATION "${MARIVO_INSTALL_GAMESDIR}")
  install(FILES "${marivo_linux_dir}/${marivo_app_id}.desktop"
          DESTINATION "${CMAKE_INSTALL_DATADIR}/applications")
  install(FILES "${marivo_linux_dir}/${marivo_app_id}.metainfo.xml"
          DESTINATION "${CMAKE_INSTALL_DATADIR}/metainfo")
  foreach(size IN LISTS marivo_icon_sizes)
    install(FILES "${marivo_gen_dir}/icons/${size}x${size}/marivo2.png"
            DESTINATION "${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps")
  endforeach()
  install(FILES "${marivo_gen_dir}/marivo2.6.gz" DESTINATION "${CMAKE_INSTALL_MANDIR}/man6")
  install(FILES "${marivo_linux_dir}/copyright" "${marivo_gen_dir}/changelog.Debian.gz"
          DESTINATION "${CMAKE_INSTALL_DOCDIR}")
endif()
