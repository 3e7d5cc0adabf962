<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="de" sourcelanguage="en">
<context>
    <name>AboutDialog</name>
    <message>
        <source>About Tallowin</source>
        <translation>Über Tallowin</translation>
    </message>
    <message>
        <source>Tallowin icon</source>
        <translation>Tallowin-Symbol</translation>
    </message>
    <message>
        <source>Tallowin</source>
        <translation>Tallowin</translation>
    </message>
    <message>
        <source>Version %1</source>
        <translation>Version %1</translation>
    </message>
    <message>
        <source>Saves a video from a link as one file that plays, with yt-dlp, ffprobe, ffmpeg and deno shipped in its own folder.</source>
        <translation>Speichert ein Video aus einem Link als eine abspielbare Datei, mit yt-dlp, ffprobe, ffmpeg und deno aus dem eigenen Programmordner.</translation>
    </message>
    <message>
        <source>Tallowin is free software under the MIT License.</source>
        <translation>Tallowin ist freie Software unter der MIT-Lizenz.</translation>
    </message>
    <message>
        <source>Shipped with</source>
        <translation>Mitgeliefert</translation>
    </message>
    <message>
        <source>unknown</source>
        <translation>unbekannt</translation>
    </message>
    <message>
        <source>%1 licence: %2</source>
        <translation>Lizenz von %1: %2</translation>
    </message>
    <message>
        <source>&amp;Licence Texts…</source>
        <translation>&amp;Lizenztexte…</translation>
    </message>
    <message>
        <source>Could not open %1.</source>
        <translation>%1 konnte nicht geöffnet werden.</translation>
    </message>
</context>
<context>
    <name>ContentView</name>
    <message>
        <source>Tallowin</source>
        <translation>Tallowin</translation>
    </message>
    <message>
        <source>Adds a **Download Video** command, `tallowin-cli download`. Give it a URL and it passes the video file to the next command.</source>
        <translation>Bietet den Befehl **Video laden** an, `tallowin-cli download`. Gib ihm eine URL, und er reicht die Videodatei an den nächsten Befehl weiter.</translation>
    </message>
    <message>
        <source>Try it</source>
        <translation>Ausprobieren</translation>
    </message>
</context>
<context>
    <name>DesktopIntegration</name>
    <message>
        <source>Download failed</source>
        <translation>Download fehlgeschlagen</translation>
    </message>
    <message>
        <source>Downloaded %1</source>
        <translation>%1 heruntergeladen</translation>
    </message>
    <message>
        <source>Open</source>
        <translation>Öffnen</translation>
    </message>
    <message>
        <source>Show in Folder</source>
        <translation>Im Ordner zeigen</translation>
    </message>
    <message>
        <source>%1 downloads finished</source>
        <translation>%1 Downloads abgeschlossen</translation>
    </message>
</context>
<context>
    <name>DownloadFailure</name>
    <message>
        <source>The page is gone (410).</source>
        <translation>Die Seite gibt es nicht mehr (410).</translation>
    </message>
    <message>
        <source>The page was not found (404).</source>
        <translation>Die Seite wurde nicht gefunden (404).</translation>
    </message>
    <message>
        <source>Tallowin could not reach the site. Check the connection.</source>
        <translation>Tallowin konnte die Website nicht erreichen. Prüfen Sie die Verbindung.</translation>
    </message>
    <message>
        <source>yt-dlp does not know how to save a video from this link.</source>
        <translation>yt-dlp kann aus diesem Link kein Video speichern.</translation>
    </message>
    <message>
        <source>This video is private.</source>
        <translation>Dieses Video ist privat.</translation>
    </message>
    <message>
        <source>This video has been removed or is not available.</source>
        <translation>Dieses Video wurde entfernt oder ist nicht verfügbar.</translation>
    </message>
    <message>
        <source>This video is not available in this country.</source>
        <translation>Dieses Video ist in diesem Land nicht verfügbar.</translation>
    </message>
    <message>
        <source>This live stream or premiere has not started yet.</source>
        <translation>Dieser Livestream oder diese Premiere hat noch nicht begonnen.</translation>
    </message>
    <message>
        <source>The site refused the download (403).</source>
        <translation>Die Website hat den Download verweigert (403).</translation>
    </message>
    <message>
        <source>The site refused the download: too many requests.</source>
        <translation>Die Website hat den Download verweigert: zu viele Anfragen.</translation>
    </message>
    <message>
        <source>yt-dlp could not read this page. The site may have changed.</source>
        <translation>yt-dlp konnte diese Seite nicht lesen. Die Website hat sich vielleicht geändert.</translation>
    </message>
    <message>
        <source>The site refused a piece of the video stream, even one piece at a time, so no file was made rather than one with a gap.</source>
        <translation>Die Website hat ein Stück des Videostroms verweigert, auch Stück für Stück, daher wurde keine Datei erstellt statt einer mit einer Lücke.</translation>
    </message>
    <message>
        <source>A piece of the video stream could not be downloaded, so no file was made rather than one with a gap.</source>
        <translation>Ein Stück des Videostroms konnte nicht geladen werden, daher wurde keine Datei erstellt statt einer mit einer Lücke.</translation>
    </message>
    <message>
        <source>The site wants you signed in to get this video.</source>
        <translation>Für dieses Video verlangt die Website, dass Sie angemeldet sind.</translation>
    </message>
</context>
<context>
    <name>DownloadForm</name>
    <message>
        <source>Highest quality</source>
        <translation>Beste Qualität</translation>
    </message>
    <message>
        <source>4K</source>
        <translation>4K</translation>
    </message>
    <message>
        <source>1080p</source>
        <translation>1080p</translation>
    </message>
    <message>
        <source>720p</source>
        <translation>720p</translation>
    </message>
    <message>
        <source>480p</source>
        <translation>480p</translation>
    </message>
    <message>
        <source>Audio only</source>
        <translation>Nur Ton</translation>
    </message>
    <message>
        <source>Video URL</source>
        <translation>Video-URL</translation>
    </message>
    <message>
        <source>Quality</source>
        <translation>Qualität</translation>
    </message>
    <message>
        <source>Force MP4</source>
        <translation>Immer MP4</translation>
    </message>
    <message>
        <source>Compatible (H.264)</source>
        <translation>Kompatibel (H.264)</translation>
    </message>
    <message>
        <source>Download</source>
        <translation>Herunterladen</translation>
    </message>
    <message>
        <source>Highest quality takes the best streams that fit the MP4 settings; 4K takes the best stream up to 2160p even when it must be converted; 1080p, 720p and 480p cap the resolution and use less space. Audio only returns just the sound, as an M4A when Force MP4 is on.</source>
        <translation>Beste Qualität nimmt die besten Streams, die zu den MP4-Einstellungen passen; 4K nimmt den besten Stream bis 2160p, auch wenn er umgewandelt werden muss; 1080p, 720p und 480p begrenzen die Auflösung und brauchen weniger Platz. Nur Ton liefert nur den Ton, als M4A, wenn „Immer MP4“ an ist.</translation>
    </message>
    <message>
        <source>Deliver an MP4. Video this computer can play from an MP4 (H.264, HEVC, and AV1 where the graphics hardware decodes it) is repackaged in seconds without re-encoding; anything else, such as VP9, is converted to H.264 with ffmpeg.</source>
        <translation>Liefert eine MP4-Datei. Video, das dieser Computer aus einer MP4 abspielen kann (H.264, HEVC und AV1, wo die Grafikhardware es dekodiert), wird in Sekunden ohne Neukodierung neu verpackt; alles andere, etwa VP9, wird mit ffmpeg in H.264 umgewandelt.</translation>
    </message>
    <message>
        <source>Also re-encode AV1 video to H.264 so the file plays on older computers, phones, TVs and other devices. Slower, and larger files.</source>
        <translation>Kodiert auch AV1-Video in H.264 um, damit die Datei auf älteren Computern, Telefonen, Fernsehern und anderen Geräten läuft. Langsamer, und größere Dateien.</translation>
    </message>
    <message>
        <source>Links start with https:// or http://.</source>
        <translation>Links beginnen mit https:// oder http://.</translation>
    </message>
    <message>
        <source>One or more links to video pages or media files, separated by spaces or new lines.</source>
        <translation>Ein oder mehrere Links zu Videoseiten oder Mediendateien, getrennt durch Leerzeichen oder neue Zeilen.</translation>
    </message>
    <message>
        <source>Adds the links to the list of downloads; each link becomes one file.</source>
        <translation>Fügt die Links der Liste der Downloads hinzu; aus jedem Link wird eine Datei.</translation>
    </message>
    <message>
        <source>Not a link: %1. Links start with https:// or http://.</source>
        <translation>Kein Link: %1. Links beginnen mit https:// oder http://.</translation>
    </message>
</context>
<context>
    <name>DownloadProgressText</name>
    <message>
        <source>Downloading…</source>
        <translation>Wird heruntergeladen…</translation>
    </message>
    <message>
        <source>Merging…</source>
        <translation>Wird zusammengefügt…</translation>
    </message>
    <message>
        <source>Checking the file…</source>
        <translation>Datei wird geprüft…</translation>
    </message>
    <message>
        <source>Converting to MP4…</source>
        <translation>Wird in MP4 umgewandelt…</translation>
    </message>
    <message>
        <source>%1%</source>
        <translation>%1 %</translation>
    </message>
    <message>
        <source>%1 of %2 MB</source>
        <translation>%1 von %2 MB</translation>
    </message>
    <message>
        <source>%1 MB</source>
        <translation>%1 MB</translation>
    </message>
    <message>
        <source>%1 left</source>
        <translation>noch %1</translation>
    </message>
    <message>
        <source>stream %1 of %2</source>
        <translation>Datenstrom %1 von %2</translation>
    </message>
    <message>
        <source>Repackaging as MP4…</source>
        <translation>Wird als MP4 neu verpackt…</translation>
    </message>
    <message>
        <source>Retrying one fragment at a time…</source>
        <translation>Neuer Versuch, ein Fragment nach dem anderen…</translation>
    </message>
</context>
<context>
    <name>DownloadRow</name>
    <message>
        <source>Download failed: %1</source>
        <translation>Download fehlgeschlagen: %1</translation>
    </message>
    <message>
        <source>Link</source>
        <translation>Link</translation>
    </message>
    <message>
        <source>Downloaded file</source>
        <translation>Heruntergeladene Datei</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>Abbrechen</translation>
    </message>
    <message>
        <source>Remove</source>
        <translation>Entfernen</translation>
    </message>
    <message>
        <source>Waiting…</source>
        <translation>Wartet…</translation>
    </message>
    <message>
        <source>Downloading…</source>
        <translation>Wird heruntergeladen…</translation>
    </message>
    <message>
        <source>The folder that holds the file; select it to copy it.</source>
        <translation>Der Ordner mit der Datei; zum Kopieren markieren.</translation>
    </message>
    <message>
        <source>Open</source>
        <translation>Öffnen</translation>
    </message>
    <message>
        <source>Opens the file in its usual application.</source>
        <translation>Öffnet die Datei mit ihrem üblichen Programm.</translation>
    </message>
    <message>
        <source>Show in Folder</source>
        <translation>Im Ordner zeigen</translation>
    </message>
    <message>
        <source>Shows the file in your file manager.</source>
        <translation>Zeigt die Datei in deinem Dateimanager.</translation>
    </message>
    <message>
        <source>Save a Copy…</source>
        <translation>Kopie speichern…</translation>
    </message>
    <message>
        <source>Saves a copy of the file where you choose, to keep it.</source>
        <translation>Speichert eine Kopie der Datei an einem Ort Ihrer Wahl, um sie zu behalten.</translation>
    </message>
    <message>
        <source>Tallowin keeps this file for a day; save a copy to keep it longer.</source>
        <translation>Tallowin bewahrt diese Datei einen Tag lang auf; speichern Sie eine Kopie, um sie länger zu behalten.</translation>
    </message>
    <message>
        <source>The download&apos;s error; select it to copy it.</source>
        <translation>Der Fehler des Downloads; markiere ihn, um ihn zu kopieren.</translation>
    </message>
    <message>
        <source>Update yt-dlp and Try Again</source>
        <translation>yt-dlp aktualisieren und erneut versuchen</translation>
    </message>
    <message>
        <source>Updates yt-dlp and, when a newer copy was installed, downloads the same link again with the same settings.</source>
        <translation>Aktualisiert yt-dlp und lädt, wenn eine neuere Version installiert wurde, denselben Link mit denselben Einstellungen erneut.</translation>
    </message>
    <message>
        <source>In %1</source>
        <translation>In %1</translation>
    </message>
    <message>
        <source>Converted to H.264 MP4 with ffmpeg.</source>
        <translation>Mit ffmpeg in H.264-MP4 umgewandelt.</translation>
    </message>
    <message>
        <source>Repackaged as MP4 without re-encoding the video.</source>
        <translation>Als MP4 neu verpackt, ohne das Video neu zu kodieren.</translation>
    </message>
    <message>
        <source>Downloaded %1</source>
        <translation>%1 heruntergeladen</translation>
    </message>
    <message>
        <source>Stops the download of %1.</source>
        <translation>Bricht den Download von %1 ab.</translation>
    </message>
    <message>
        <source>Takes %1 off the list.</source>
        <translation>Nimmt %1 aus der Liste.</translation>
    </message>
    <message>
        <source>Signed in with %1</source>
        <translation>Angemeldet mit %1</translation>
    </message>
</context>
<context>
    <name>FileActions</name>
    <message>
        <source>Save a Copy</source>
        <translation>Kopie sichern</translation>
    </message>
    <message>
        <source>Could not show %1: no file manager answered and its folder could not be opened.</source>
        <translation>%1 konnte nicht gezeigt werden: Kein Dateimanager hat geantwortet, und der Ordner ließ sich nicht öffnen.</translation>
    </message>
    <message>
        <source>Could not open %1: no application is set to open this kind of file.</source>
        <translation>%1 konnte nicht geöffnet werden: Für diese Art Datei ist kein Programm eingestellt.</translation>
    </message>
    <message>
        <source>&amp;Open</source>
        <translation>Ö&amp;ffnen</translation>
    </message>
    <message>
        <source>&amp;Copy Path</source>
        <translation>Pfad &amp;kopieren</translation>
    </message>
    <message>
        <source>Show in &amp;Folder</source>
        <translation>Im &amp;Ordner zeigen</translation>
    </message>
    <message>
        <source>&amp;Save a Copy…</source>
        <translation>Kopie &amp;sichern…</translation>
    </message>
    <message>
        <source>%1 already exists; it was left as it was.</source>
        <translation>%1 gibt es schon; die Datei blieb unverändert.</translation>
    </message>
    <message>
        <source>Could not save a copy as %1: %2</source>
        <translation>Die Kopie konnte nicht als %1 gesichert werden: %2</translation>
    </message>
    <message>
        <source>Tallowin</source>
        <translation>Tallowin</translation>
    </message>
</context>
<context>
    <name>MainWindow</name>
    <message>
        <source>Tallowin</source>
        <translation>Tallowin</translation>
    </message>
    <message>
        <source>&amp;Tallowin</source>
        <translation>&amp;Tallowin</translation>
    </message>
    <message>
        <source>&amp;About Tallowin</source>
        <translation>&amp;Über Tallowin</translation>
    </message>
    <message>
        <source>&amp;Check for Updates…</source>
        <translation>Nach &amp;Updates suchen…</translation>
    </message>
    <message>
        <source>&amp;Update yt-dlp…</source>
        <translation>yt-dlp &amp;aktualisieren…</translation>
    </message>
    <message>
        <source>&amp;Quit</source>
        <translation>&amp;Beenden</translation>
    </message>
    <message>
        <source>Stop the download and quit?</source>
        <translation>Download abbrechen und beenden?</translation>
    </message>
    <message>
        <source>Stop %1 downloads and quit?</source>
        <translation>%1 Downloads abbrechen und beenden?</translation>
    </message>
    <message>
        <source>Running: %1. Waiting: %2.</source>
        <translation>Laufend: %1. Wartend: %2.</translation>
    </message>
    <message>
        <source>Stop and quit</source>
        <translation>Abbrechen und beenden</translation>
    </message>
    <message>
        <source>Keep downloading</source>
        <translation>Weiter herunterladen</translation>
    </message>
    <message>
        <source>Check for Updates</source>
        <translation>Nach Updates suchen</translation>
    </message>
    <message>
        <source>Tallowin is up to date.</source>
        <translation>Tallowin ist auf dem neuesten Stand.</translation>
    </message>
    <message>
        <source>Tallowin %1 is the newest version.</source>
        <translation>Tallowin %1 ist die neueste Version.</translation>
    </message>
    <message>
        <source>An update for Tallowin is available.</source>
        <translation>Ein Update für Tallowin ist verfügbar.</translation>
    </message>
    <message>
        <source>Tallowin %1 is available. You have %2.</source>
        <translation>Tallowin %1 ist verfügbar. Du hast %2.</translation>
    </message>
    <message>
        <source>Download…</source>
        <translation>Herunterladen…</translation>
    </message>
    <message>
        <source>Later</source>
        <translation>Später</translation>
    </message>
    <message>
        <source>Could not check for updates.</source>
        <translation>Die Suche nach Updates ist fehlgeschlagen.</translation>
    </message>
</context>
<context>
    <name>SignInRetryButton</name>
    <message>
        <source>Try Again Signed In</source>
        <translation>Angemeldet erneut versuchen</translation>
    </message>
    <message>
        <source>Downloads the same link again with the same settings, signed in as you are in the browser you choose.</source>
        <translation>Lädt denselben Link mit denselben Einstellungen erneut, angemeldet wie in dem Browser, den Sie wählen.</translation>
    </message>
    <message>
        <source>No browser with a profile was found</source>
        <translation>Kein Browser mit einem Profil gefunden</translation>
    </message>
</context>
<context>
    <name>ToolsBox</name>
    <message>
        <source>Bundled tools</source>
        <translation>Mitgelieferte Werkzeuge</translation>
    </message>
    <message>
        <source>yt-dlp download progress</source>
        <translation>Fortschritt des yt-dlp-Downloads</translation>
    </message>
    <message>
        <source>The yt-dlp update&apos;s status.</source>
        <translation>Der Stand der yt-dlp-Aktualisierung.</translation>
    </message>
    <message>
        <source>Downloading yt-dlp… %1%</source>
        <translation>yt-dlp wird geladen… %1 %</translation>
    </message>
    <message>
        <source>%1 version: %2</source>
        <translation>%1-Version: %2</translation>
    </message>
    <message>
        <source>not known yet</source>
        <translation>noch nicht bekannt</translation>
    </message>
    <message>
        <source>updated · bundled copy is %1</source>
        <translation>aktualisiert · mitgelieferte Kopie ist %1</translation>
    </message>
    <message>
        <source>missing</source>
        <translation>fehlt</translation>
    </message>
    <message>
        <source>bundled</source>
        <translation>mitgeliefert</translation>
    </message>
    <message>
        <source>Downloads the latest release into your data folder.</source>
        <translation>Lädt die neueste Version in deinen Datenordner.</translation>
    </message>
    <message>
        <source>Waiting for another update to finish…</source>
        <translation>Warte, bis eine andere Aktualisierung fertig ist…</translation>
    </message>
    <message>
        <source>Verifying the download…</source>
        <translation>Download wird geprüft…</translation>
    </message>
    <message>
        <source>Installing…</source>
        <translation>Wird installiert…</translation>
    </message>
    <message>
        <source>Updated to yt-dlp %1.</source>
        <translation>Auf yt-dlp %1 aktualisiert.</translation>
    </message>
    <message>
        <source>yt-dlp %1 is already the latest release.</source>
        <translation>yt-dlp %1 ist bereits die neueste Version.</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>Abbrechen</translation>
    </message>
    <message>
        <source>Update yt-dlp…</source>
        <translation>yt-dlp aktualisieren…</translation>
    </message>
    <message>
        <source>Stops the yt-dlp update.</source>
        <translation>Bricht die Aktualisierung von yt-dlp ab.</translation>
    </message>
    <message>
        <source>Downloads the newest yt-dlp release.</source>
        <translation>Lädt die neueste Version von yt-dlp.</translation>
    </message>
</context>
</TS>
