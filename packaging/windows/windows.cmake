# quillbar-VERSION-win32.zip and quillbar-VERSION-win32-setup.exe: both
# programs, README.txt, LICENSE.txt and help.htm at the top of one folder.

set(CPACK_GENERATOR "ZIP;NSIS")
set(CPACK_PACKAGE_NAME "Quillbar")
# The zip's top folder; package.sh names the zip file itself, and
# cpack-options.cmake names the installer.
set(CPACK_PACKAGE_FILE_NAME "quillbar-${PROJECT_VERSION}")
set(CPACK_PROJECT_CONFIG_FILE ${CMAKE_CURRENT_LIST_DIR}/cpack-options.cmake)

install(TARGETS quillbar quillbar-convert RUNTIME DESTINATION .)
# Text files for Windows: CR LF line ends.
configure_file(windows/README.txt.in README.txt @ONLY NEWLINE_STYLE CRLF)
configure_file(${PROJECT_SOURCE_DIR}/LICENSE LICENSE.txt @ONLY NEWLINE_STYLE CRLF)
install(FILES
    ${CMAKE_CURRENT_BINARY_DIR}/README.txt
    ${CMAKE_CURRENT_BINARY_DIR}/LICENSE.txt
    ${PROJECT_SOURCE_DIR}/docs/help.htm
    DESTINATION .)

# The install folder and the uninstall key carry no version: an upgrade lands
# in the same place and leaves one Add/Remove Programs entry.
set(CPACK_PACKAGE_INSTALL_DIRECTORY "Quillbar")
set(CPACK_PACKAGE_INSTALL_REGISTRY_KEY "Quillbar")
set(CPACK_NSIS_PACKAGE_NAME "Quillbar")
set(CPACK_NSIS_DISPLAY_NAME "Quillbar")
set(CPACK_NSIS_INSTALLED_ICON_NAME "quillbar.exe")
set(CPACK_NSIS_MUI_ICON ${PROJECT_SOURCE_DIR}/res/quillbar.ico)
set(CPACK_NSIS_MUI_UNIICON ${PROJECT_SOURCE_DIR}/res/quillbar.ico)
set(CPACK_NSIS_HELP_LINK "http://${QUILLBAR_WEB_ADDRESS}/quillbar/help.htm")
set(CPACK_NSIS_URL_INFO_ABOUT "http://${QUILLBAR_WEB_ADDRESS}/quillbar/")
set(CPACK_NSIS_ENABLE_UNINSTALL_BEFORE_INSTALL ON)
# No file times in the installer: two builds of one commit are identical.
set(CPACK_NSIS_DEFINES [=[
  SetDateSave off
  !include FileFunc.nsh]=])
# The shortcut starts the program in the user's own Documents folder, where
# relative names and the default db.csv belong; Program Files is no place for
# a user's files. The variable is left for the shell to expand, so that the
# shortcut of an all-users install serves every user.
set(CPACK_NSIS_CREATE_ICONS_EXTRA [=[
  StrCpy $OUTDIR "%USERPROFILE%\Documents"
  CreateShortCut "$SMPROGRAMS\$STARTMENU_FOLDER\Quillbar.lnk" "$INSTDIR\quillbar.exe"
  SetOutPath "$INSTDIR"]=])
set(CPACK_NSIS_DELETE_ICONS_EXTRA [=[
  Delete "$SMPROGRAMS\$MUI_TEMP\Quillbar.lnk"
  DeleteRegKey /ifempty SHCTX "Software\The Quillbar Authors"]=])
set(CPACK_NSIS_EXTRA_INSTALL_COMMANDS [=[
  ${GetSize} "$INSTDIR" "/S=0K" $0 $1 $2
  WriteRegDWORD SHCTX "Software\Microsoft\Windows\CurrentVersion\Uninstall\Quillbar" "EstimatedSize" $0]=])
