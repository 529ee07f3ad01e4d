# Installs the build into a scratch DESTDIR under prefix /usr and checks the
# result as a user would meet it: the programs run from bin/ and find the
# shipped plug-ins and the clip decoders with no environment, and the
# desktop files pass their validators. Run with -DBUILD=<build folder>
# -DVERSION=<x.y.z> -DCLIP=<a WebP file> -DDESKTOP_VALIDATE=<path>
# -DXMLLINT=<path>.
set(root ${BUILD}/install-check)
set(usr ${root}/usr)
file(REMOVE_RECURSE ${root})

function(run out)
  execute_process(COMMAND ${CMAKE_COMMAND} -E env --unset=ZELL_PLUGIN_PATH ${ARGN}
    OUTPUT_VARIABLE text ERROR_VARIABLE err RESULT_VARIABLE rc)
  if(NOT rc EQUAL 0)
    message(FATAL_ERROR "${ARGN} failed (${rc}):\n${text}${err}")
  endif()
  set(${out} "${text}" PARENT_SCOPE)
endfunction()

run(ignored ${CMAKE_COMMAND} -E env DESTDIR=${root} ${CMAKE_COMMAND} --install ${BUILD} --prefix /usr)

run(version ${usr}/bin/zell-cli --version)
if(NOT version STREQUAL "zell-cli ${VERSION}\n")
  message(FATAL_ERROR "installed zell-cli --version printed '${version}'")
endif()
# Answered before Qt looks for a display, so it works here too.
run(version ${usr}/bin/zell --version)
if(NOT version STREQUAL "zell ${VERSION}\n")
  message(FATAL_ERROR "installed zell --version printed '${version}'")
endif()

# Every plug-in the build made must be listed from the installed folder.
file(GLOB built RELATIVE ${BUILD}/plugins ${BUILD}/plugins/*.so)
if(NOT built)
  message(FATAL_ERROR "no plug-ins in ${BUILD}/plugins")
endif()
run(patterns ${usr}/bin/zell-cli patterns)
foreach(name ${built})
  string(FIND "${patterns}" "\t${usr}/lib/zell/plugins/${name}\n" at)
  if(at LESS 0)
    message(FATAL_ERROR "installed zell-cli patterns does not list ${name} from lib/zell/plugins:\n${patterns}")
  endif()
endforeach()

# The clip decoders are a module of their own, loaded from lib/zell.
run(clip ${usr}/bin/zell-cli info ${CLIP})
string(FIND "${clip}" "clip (webp), 8x6" at)
if(at LESS 0)
  message(FATAL_ERROR "installed zell-cli info did not read a clip:\n${clip}")
endif()

set(desktop ${usr}/share/applications/zell.desktop)
set(mime ${usr}/share/mime/packages/zell.xml)
run(ignored ${DESKTOP_VALIDATE} ${desktop})
run(ignored ${XMLLINT} --noout ${mime})

# The pieces must agree: the entry's icon is installed and the project type
# it opens is the one the MIME package defines.
foreach(f bin/zell share/icons/hicolor/scalable/apps/zell.svg share/icons/hicolor/48x48/apps/zell.png
          share/man/man1/zell.1.gz share/man/man1/zell-cli.1.gz share/doc/zell/index.html
          share/doc/zell/copyright share/doc/zell/changelog.gz
          share/doc/zell/index.ja.html include/zell/transition_plugin.h
          share/bash-completion/completions/zell-cli share/zsh/vendor-completions/_zell-cli)
  if(NOT EXISTS ${usr}/${f})
    message(FATAL_ERROR "not installed: ${f}")
  endif()
endforeach()
# The installed bash completion completes a command. (Lines, not ';': a
# semicolon would split the argument.)
run(completed bash -c "source ${usr}/share/bash-completion/completions/zell-cli
  COMP_WORDS=(zell-cli --quiet opt)
  COMP_CWORD=2
  _zell_cli
  echo \"\${COMPREPLY[*]}\"")
if(NOT completed STREQUAL "optimize\n")
  message(FATAL_ERROR "the installed bash completion gave '${completed}' for 'zell-cli --quiet opt'")
endif()

file(READ ${desktop} entry)
file(READ ${mime} mime_text)
string(REGEX MATCH "mime-type type=\"([^\"]+)\"" ignored "${mime_text}")
set(project_type "${CMAKE_MATCH_1}")
string(FIND "${entry}" "\nMimeType=image/gif;${project_type};\n" at)
if(NOT project_type OR at LESS 0)
  message(FATAL_ERROR "the desktop entry does not open image/gif and '${project_type}'")
endif()
file(REMOVE_RECURSE ${root})
