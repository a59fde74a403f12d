; The setup's own German texts (the pages' standard texts come from the German language file).

LangString SetupDescription ${LANG_GERMAN} "Setup von Quillary, einem Plug-in für Winamp"

LangString DirectoryPageTitle ${LANG_GERMAN} "Winamp-Ordner auswählen"
LangString DirectoryPageSubtitle ${LANG_GERMAN} "Wählen Sie den Ordner, in dem Winamp installiert ist."
LangString DirectoryPageText ${LANG_GERMAN} "Quillary wird in den Ordner „Plugins“ Ihrer Winamp-Installation kopiert. Wählen Sie den Ordner, in dem Winamp installiert ist (dort liegt die Datei Winamp.exe), und klicken Sie auf „Installieren“."
LangString DirectoryPageFolder ${LANG_GERMAN} "Winamp-Ordner"
LangString NoPlayerInFolder ${LANG_GERMAN} "Im Ordner „$INSTDIR“ wurde keine Winamp.exe gefunden.$\n$\nBitte wählen Sie den Ordner, in dem Winamp installiert ist."

LangString PlayerRunningInstall ${LANG_GERMAN} "Winamp wird gerade ausgeführt. Damit Quillary installiert werden kann, muss Winamp beendet werden.$\n$\nSoll Winamp jetzt beendet werden?"
LangString PlayerRunningUninstall ${LANG_GERMAN} "Winamp wird gerade ausgeführt. Damit Quillary entfernt werden kann, muss Winamp beendet werden.$\n$\nSoll Winamp jetzt beendet werden?"
LangString PlayerWontClose ${LANG_GERMAN} "Winamp lässt sich nicht beenden. Bitte beenden Sie Winamp selbst und klicken Sie dann auf „Wiederholen“."
LangString PlayerLeftRunning ${LANG_GERMAN} "Winamp läuft weiter; es wurde nichts geändert."
LangString ClosingPlayer ${LANG_GERMAN} "Winamp wird beendet ..."

LangString NoUninstallEntry ${LANG_GERMAN} "Quillary wurde installiert, aber der Eintrag unter „Apps & Features“ konnte nicht angelegt werden.$\n$\nZum Entfernen löschen Sie die Datei gen_corvane.dll im Ordner „$INSTDIR\Plugins“."
LangString WhereToConfigure ${LANG_GERMAN} "Starten Sie Winamp; die Einstellungen von Quillary finden Sie unter Einstellungen (Strg+P) > Plug-ins > General Purpose > Quillary > Konfigurieren."

LangString PluginNotRemoved ${LANG_GERMAN} "Die Datei „$INSTDIR\gen_corvane.dll“ konnte nicht gelöscht werden. Beenden Sie alle Programme, die sie verwenden, und starten Sie die Deinstallation erneut."
