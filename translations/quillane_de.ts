<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="de_DE">
<context>
    <name>CategoryShares</name>
    <message>
        <source>Dev</source>
        <translation>Entwicklung</translation>
    </message>
    <message>
        <source>Media</source>
        <translation>Medien</translation>
    </message>
    <message>
        <source>Containers</source>
        <translation>Container</translation>
    </message>
    <message>
        <source>Browsers</source>
        <translation>Browser</translation>
    </message>
    <message>
        <source>Caches</source>
        <translation>Caches</translation>
    </message>
    <message>
        <source>AI</source>
        <translation>KI</translation>
    </message>
    <message>
        <source>Logs</source>
        <translation>Protokolle</translation>
    </message>
    <message>
        <source>Downloads</source>
        <translation>Downloads</translation>
    </message>
    <message>
        <source>Trash</source>
        <translation>Papierkorb</translation>
    </message>
    <message>
        <source>Other</source>
        <translation>Sonstiges</translation>
    </message>
</context>
<context>
    <name>CleanableCategory</name>
    <message>
        <source>System Junk &amp; Logs</source>
        <translation>Systemreste &amp; Protokolle</translation>
    </message>
    <message>
        <source>Application Caches</source>
        <translation>Anwendungs-Caches</translation>
    </message>
    <message>
        <source>Xcode &amp; iOS Simulators</source>
        <translation>Xcode &amp; iOS-Simulatoren</translation>
    </message>
    <message>
        <source>Homebrew, CocoaPods &amp; Package Caches</source>
        <translation>Homebrew, CocoaPods &amp; Paket-Caches</translation>
    </message>
    <message>
        <source>Docker, OrbStack &amp; Container Layers</source>
        <translation>Docker, OrbStack &amp; Container-Schichten</translation>
    </message>
    <message>
        <source>Creator Media &amp; Scratch Disks (Adobe / FCP / DaVinci)</source>
        <translation>Kreativ-Caches (Adobe / FCP / DaVinci)</translation>
    </message>
    <message>
        <source>Browser &amp; Electron ServiceWorker Caches</source>
        <translation>Browser- &amp; ServiceWorker-Caches</translation>
    </message>
    <message>
        <source>Local AI Models &amp; Caches (Ollama / LM Studio)</source>
        <translation>Lokale KI-Modelle (Ollama / LM Studio)</translation>
    </message>
    <message>
        <source>Large &amp; Stale Downloads</source>
        <translation>Große &amp; alte Downloads</translation>
    </message>
    <message>
        <source>Trash Bins</source>
        <translation>Papierkörbe</translation>
    </message>
</context>
<context>
    <name>CleaningReportMessage</name>
    <message numerus="yes">
        <source>%Ln other link(s) to %1 remain(s)</source>
        <translation>
            <numerusform>%Ln weiterer Verweis %1 bleibt</numerusform>
            <numerusform>%Ln weitere Verweise %1 bleiben</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source> Kept %Ln session file(s) in place: %1.</source>
        <translation>
            <numerusform> %Ln Sitzungsdatei blieb erhalten: %1.</numerusform>
            <numerusform> %Ln Sitzungsdateien blieben erhalten: %1.</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>%Ln item(s)</source>
        <translation>
            <numerusform>%Ln Objekt</numerusform>
            <numerusform>%Ln Objekte</numerusform>
        </translation>
    </message>
    <message>
        <source>Moved %1 to the Trash</source>
        <translation>%1 in den Papierkorb verschoben</translation>
    </message>
    <message>
        <source>Removed %1</source>
        <translation>%1 entfernt</translation>
    </message>
    <message>
        <source>, which frees no space: %1.</source>
        <translation>, was keinen Platz freigibt: %1.</translation>
    </message>
    <message>
        <source>it</source>
        <translation>darauf</translation>
    </message>
    <message>
        <source>, which free no space: %1.</source>
        <translation>, was keinen Platz freigibt: %1.</translation>
    </message>
    <message>
        <source>them</source>
        <translation>darauf</translation>
    </message>
    <message>
        <source>. %1 is freed when the Trash is emptied.</source>
        <translation>. %1 wird frei, wenn der Papierkorb geleert wird.</translation>
    </message>
    <message>
        <source>, freeing %1.</source>
        <translation>, %1 freigegeben.</translation>
    </message>
    <message>
        <source> %1 frees no space: %2.</source>
        <translation> %1 gibt keinen Platz frei: %2.</translation>
    </message>
    <message>
        <source> %1 of them free no space: other links to them remain.</source>
        <translation> %1 davon geben keinen Platz frei: weitere Verweise darauf bleiben.</translation>
    </message>
    <message>
        <source> %1, so those files stay.</source>
        <translation> %1, diese Dateien bleiben daher.</translation>
    </message>
    <message>
        <source>some of its files</source>
        <translation>auf einige seiner Dateien</translation>
    </message>
    <message>
        <source>Emptied the Trash, freeing %1.</source>
        <translation>Papierkorb geleert, %1 freigegeben.</translation>
    </message>
    <message>
        <source>Nothing was moved to the Trash.</source>
        <translation>Nichts wurde in den Papierkorb verschoben.</translation>
    </message>
    <message>
        <source>Nothing was removed.</source>
        <translation>Nichts wurde entfernt.</translation>
    </message>
    <message>
        <source>Could not move %1 to the Trash: %2</source>
        <translation>%1 konnte nicht in den Papierkorb verschoben werden: %2</translation>
    </message>
    <message>
        <source>Could not remove %1: %2</source>
        <translation>%1 konnte nicht entfernt werden: %2</translation>
    </message>
    <message>
        <source>%1 when the Trash is emptied</source>
        <translation>%1, wenn der Papierkorb geleert wird</translation>
    </message>
    <message>
        <source>freeing %1</source>
        <translation>%1 freigegeben</translation>
    </message>
    <message>
        <source>Moved %1 of %2 items to the Trash (%3). </source>
        <translation>%1 von %2 Objekten in den Papierkorb verschoben (%3). </translation>
    </message>
    <message>
        <source>Removed %1 of %2 items (%3). </source>
        <translation>%1 von %2 Objekten entfernt (%3). </translation>
    </message>
    <message>
        <source>Deletion rejected.</source>
        <translation>Löschen abgelehnt.</translation>
    </message>
</context>
<context>
    <name>FileManagerReveal</name>
    <message>
        <source>%1, and no application could open the folder %2.</source>
        <translation>%1, und keine Anwendung konnte den Ordner %2 öffnen.</translation>
    </message>
    <message>
        <source>No session bus reaches a file manager</source>
        <translation>Kein Sitzungsbus erreicht einen Dateimanager</translation>
    </message>
    <message>
        <source>No file manager answered (%1)</source>
        <translation>Kein Dateimanager hat geantwortet (%1)</translation>
    </message>
</context>
<context>
    <name>TreemapAccessible</name>
    <message>
        <source>%1, %2 of the folder, %3</source>
        <translation>%1, %2 des Ordners, %3</translation>
    </message>
</context>
<context>
    <name>TreemapPalette</name>
    <message numerus="yes">
        <source>%Ln item(s)</source>
        <translation>
            <numerusform>%Ln Objekt</numerusform>
            <numerusform>%Ln Objekte</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>%Ln file(s)</source>
        <translation>
            <numerusform>%Ln Datei</numerusform>
            <numerusform>%Ln Dateien</numerusform>
        </translation>
    </message>
</context>
<context>
    <name>quillane::AppRootView</name>
    <message>
        <source>The scan failed: </source>
        <translation>Der Scan ist fehlgeschlagen: </translation>
    </message>
    <message>
        <source>Undo</source>
        <translation>Rückgängig</translation>
    </message>
</context>
<context>
    <name>quillane::CacheCleanupWindow</name>
    <message>
        <source>Clean Up Caches</source>
        <translation>Caches aufräumen</translation>
    </message>
    <message>
        <source>Name</source>
        <translation>Name</translation>
    </message>
    <message>
        <source>Description</source>
        <translation>Beschreibung</translation>
    </message>
    <message>
        <source>Size</source>
        <translation>Größe</translation>
    </message>
    <message>
        <source>Modified</source>
        <translation>Geändert</translation>
    </message>
    <message>
        <source>Path</source>
        <translation>Pfad</translation>
    </message>
    <message>
        <source>No known caches found.</source>
        <translation>Keine bekannten Caches gefunden.</translation>
    </message>
    <message>
        <source>Known caches that their applications fetch or rebuild again, largest first. Tick what to move to the Trash.</source>
        <translation>Bekannte Caches, die ihre Anwendungen erneut laden oder neu erstellen, die größten zuerst. Haken Sie an, was in den Papierkorb soll.</translation>
    </message>
    <message>
        <source>Show All</source>
        <translation>Alle zeigen</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>Abbrechen</translation>
    </message>
    <message>
        <source>Rescan</source>
        <translation>Neu scannen</translation>
    </message>
    <message>
        <source>Move to Trash</source>
        <translation>In den Papierkorb</translation>
    </message>
    <message>
        <source>Only: </source>
        <translation>Nur: </translation>
    </message>
    <message>
        <source>Slow or costly to fetch again; not ticked unless you choose it.</source>
        <translation>Langsam oder aufwendig neu zu laden; nur angehakt, wenn Sie es wählen.</translation>
    </message>
    <message>
        <source>%1 ticked · %2</source>
        <translation>%1 angehakt · %2</translation>
    </message>
    <message>
        <source>Moving %1 of %2 to the Trash…</source>
        <translation>Verschiebe %1 von %2 in den Papierkorb …</translation>
    </message>
    <message>
        <source>Moving to the Trash…</source>
        <translation>Verschiebe in den Papierkorb …</translation>
    </message>
    <message>
        <source>Looking for caches…</source>
        <translation>Suche nach Caches …</translation>
    </message>
    <message>
        <source>Measuring was cancelled. Choose Rescan to look again.</source>
        <translation>Die Messung wurde abgebrochen. Wählen Sie „Neu scannen“, um erneut zu suchen.</translation>
    </message>
    <message>
        <source>move %1 (%2) to the Trash</source>
        <translation>%1 (%2) in den Papierkorb verschieben</translation>
    </message>
    <message>
        <source>Move %1 (%2) to the Trash?</source>
        <translation>%1 (%2) in den Papierkorb verschieben?</translation>
    </message>
    <message>
        <source>Empty the Trash (%1) for good%2? This cannot be undone.</source>
        <translation>Den Papierkorb (%1) endgültig leeren%2? Dies kann nicht rückgängig gemacht werden.</translation>
    </message>
    <message>
        <source>, then </source>
        <translation> und danach </translation>
    </message>
    <message>
        <source>Emptied: </source>
        <translation>Geleert: </translation>
    </message>
    <message>
        <source>Removed: </source>
        <translation>Entfernt: </translation>
    </message>
    <message>
        <source>Moved to the Trash: </source>
        <translation>In den Papierkorb verschoben: </translation>
    </message>
    <message numerus="yes">
        <source> (frees no space: %Ln other link(s) to it remain(s))</source>
        <translation>
            <numerusform> (gibt keinen Platz frei: %Ln weiterer Verweis darauf bleibt)</numerusform>
            <numerusform> (gibt keinen Platz frei: %Ln weitere Verweise darauf bleiben)</numerusform>
        </translation>
    </message>
    <message>
        <source>Not moved: %1 — %2</source>
        <translation>Nicht verschoben: %1 – %2</translation>
    </message>
</context>
<context>
    <name>quillane::ChangesPanel</name>
    <message>
        <source>Changes</source>
        <translation>Änderungen</translation>
    </message>
    <message>
        <source>an unknown date</source>
        <translation>einem unbekannten Datum</translation>
    </message>
    <message>
        <source>Compared with the scan of %1 (%2). Total change: %3.</source>
        <translation>Verglichen mit dem Scan von %1 (%2). Änderung insgesamt: %3.</translation>
    </message>
    <message>
        <source>Colour the treemap by change</source>
        <translation>Treemap nach Änderung färben</translation>
    </message>
    <message>
        <source>Grown</source>
        <translation>Gewachsen</translation>
    </message>
    <message>
        <source>Shrunk</source>
        <translation>Geschrumpft</translation>
    </message>
    <message>
        <source>New</source>
        <translation>Neu</translation>
    </message>
    <message>
        <source>Unchanged</source>
        <translation>Unverändert</translation>
    </message>
    <message>
        <source>The stronger the colour, the larger the change for its size. Gone entries have no tile: the list shows them.</source>
        <translation>Je kräftiger die Farbe, desto größer die Änderung im Verhältnis zur Größe. Entfernte Einträge haben keine Kachel: Die Liste zeigt sie.</translation>
    </message>
</context>
<context>
    <name>quillane::FindWindow</name>
    <message>
        <source>Find</source>
        <translation>Suchen</translation>
    </message>
    <message>
        <source>Largest Files and Types</source>
        <translation>Größte Dateien und Typen</translation>
    </message>
</context>
<context>
    <name>quillane::MainWindow</name>
    <message>
        <source>Cannot Open Scan File</source>
        <translation>Scan-Datei kann nicht geöffnet werden</translation>
    </message>
    <message>
        <source>“%1” could not be read as a scan file.

%2</source>
        <translation>„%1“ konnte nicht als Scan-Datei gelesen werden.

%2</translation>
    </message>
    <message>
        <source>About Quillane</source>
        <translation>Über Quillane</translation>
    </message>
    <message>
        <source>Settings…</source>
        <translation>Einstellungen …</translation>
    </message>
    <message>
        <source>Quit Quillane</source>
        <translation>Quillane beenden</translation>
    </message>
    <message>
        <source>&amp;Scan</source>
        <translation>&amp;Scannen</translation>
    </message>
    <message>
        <source>Scan User Home Folder</source>
        <translation>Persönlichen Ordner scannen</translation>
    </message>
    <message>
        <source>Scan Full Disk</source>
        <translation>Ganzes Laufwerk scannen</translation>
    </message>
    <message>
        <source>Choose Folder to Scan…</source>
        <translation>Zu scannenden Ordner wählen …</translation>
    </message>
    <message>
        <source>Open Scan File…</source>
        <translation>Scan-Datei öffnen …</translation>
    </message>
    <message>
        <source>Clean Up Caches…</source>
        <translation>Caches aufräumen …</translation>
    </message>
    <message>
        <source>Show Trash…</source>
        <translation>Papierkorb zeigen …</translation>
    </message>
    <message>
        <source>Cancel Current Scan</source>
        <translation>Laufenden Scan abbrechen</translation>
    </message>
    <message>
        <source>&amp;View</source>
        <translation>&amp;Ansicht</translation>
    </message>
    <message>
        <source>Show Sidebar</source>
        <translation>Seitenleiste zeigen</translation>
    </message>
    <message>
        <source>Show List</source>
        <translation>Liste zeigen</translation>
    </message>
    <message>
        <source>Nested Contents</source>
        <translation>Verschachtelte Inhalte</translation>
    </message>
    <message>
        <source>Find by Name…</source>
        <translation>Nach Name suchen …</translation>
    </message>
    <message>
        <source>Largest Files and Types…</source>
        <translation>Größte Dateien und Typen …</translation>
    </message>
    <message>
        <source>Back to Enclosing Folder</source>
        <translation>Zurück zum übergeordneten Ordner</translation>
    </message>
    <message>
        <source>&amp;Help</source>
        <translation>&amp;Hilfe</translation>
    </message>
    <message>
        <source>Quillane Help &amp;&amp; Guides</source>
        <translation>Quillane-Hilfe &amp;&amp; Anleitungen</translation>
    </message>
    <message>
        <source>Show Unreadable Folders…</source>
        <translation>Unlesbare Ordner zeigen …</translation>
    </message>
    <message>
        <source>Cannot Open Help</source>
        <translation>Hilfe kann nicht geöffnet werden</translation>
    </message>
    <message>
        <source>The user guide is not installed.</source>
        <translation>Das Benutzerhandbuch ist nicht installiert.</translation>
    </message>
    <message>
        <source>No application could open the user guide, %1.</source>
        <translation>Keine Anwendung konnte das Benutzerhandbuch %1 öffnen.</translation>
    </message>
    <message>
        <source>Quillane Settings</source>
        <translation>Quillane-Einstellungen</translation>
    </message>
    <message>
        <source>Shows what takes up space on your disk, and moves what you choose to the Trash.

Folders are read in parallel with getdents64(2) and statx(2).</source>
        <translation>Zeigt, was auf Ihrem Laufwerk Platz belegt, und verschiebt, was Sie wählen, in den Papierkorb.

Ordner werden parallel mit getdents64(2) und statx(2) gelesen.</translation>
    </message>
    <message>
        <source>Version %1

%2

%3</source>
        <translation>Version %1

%2

%3</translation>
    </message>
    <message>
        <source>Opening %1 — Quillane</source>
        <translation>%1 wird geöffnet – Quillane</translation>
    </message>
    <message>
        <source>Scanning %1 — Quillane</source>
        <translation>%1 wird gescannt – Quillane</translation>
    </message>
    <message>
        <source>%1 (scanned %2) — Quillane</source>
        <translation>%1 (gescannt %2) – Quillane</translation>
    </message>
    <message>
        <source>%1 — Quillane</source>
        <translation>%1 – Quillane</translation>
    </message>
    <message>
        <source>Sizes are the space the file system reports as allocated (st_blocks, as du counts it): every file once however many hard links it has, folders included, sparse files at what they occupy. A compressed file shows its compressed size only where the file system reports it so, as ZFS does; btrfs reports the uncompressed extents, so there it shows its full size.</source>
        <translation>Größen sind der Platz, den das Dateisystem als belegt meldet (st_blocks, wie du ihn zählt): jede Datei einmal, egal wie viele harte Links sie hat, Ordner eingeschlossen, Dateien mit Lücken mit dem, was sie belegen. Eine komprimierte Datei zeigt ihre komprimierte Größe nur, wo das Dateisystem sie so meldet, wie ZFS; btrfs meldet die unkomprimierten Bereiche, dort zeigt sie also ihre volle Größe.</translation>
    </message>
    <message>
        <source>Choose Folder to Scan</source>
        <translation>Zu scannenden Ordner wählen</translation>
    </message>
    <message>
        <source>Scan Folder</source>
        <translation>Ordner scannen</translation>
    </message>
    <message>
        <source>Open Scan File</source>
        <translation>Scan-Datei öffnen</translation>
    </message>
    <message>
        <source>Scan exports (*.json *.json.gz *.json.zst);;JSON (*.json);;JSON, gzip (*.json.gz);;JSON, zstd (*.json.zst);;All files (*)</source>
        <translation>Scan-Exporte (*.json *.json.gz *.json.zst);;JSON (*.json);;JSON, gzip (*.json.gz);;JSON, zstd (*.json.zst);;Alle Dateien (*)</translation>
    </message>
    <message>
        <source>Appearance</source>
        <translation>Erscheinungsbild</translation>
    </message>
    <message>
        <source>System</source>
        <translation>System</translation>
    </message>
    <message>
        <source>Light</source>
        <translation>Hell</translation>
    </message>
    <message>
        <source>Dark</source>
        <translation>Dunkel</translation>
    </message>
    <message>
        <source>Compare With Scan</source>
        <translation>Mit Scan vergleichen</translation>
    </message>
    <message>
        <source>Scans (*.qsnap *.json *.json.gz *.json.zst);;Remembered scans (*.qsnap);;Scan exports (*.json *.json.gz *.json.zst);;All files (*)</source>
        <translation>Scans (*.qsnap *.json *.json.gz *.json.zst);;Gemerkte Scans (*.qsnap);;Scan-Exporte (*.json *.json.gz *.json.zst);;Alle Dateien (*)</translation>
    </message>
    <message>
        <source>Cannot Compare Scans</source>
        <translation>Scans können nicht verglichen werden</translation>
    </message>
    <message>
        <source>Compare With…</source>
        <translation>Vergleichen mit…</translation>
    </message>
    <message>
        <source>Compare With Previous Scan</source>
        <translation>Mit vorherigem Scan vergleichen</translation>
    </message>
    <message>
        <source>Compare with the scan of %1</source>
        <translation>Mit dem Scan vom %1 vergleichen</translation>
    </message>
    <message>
        <source>No earlier scan of this folder is remembered</source>
        <translation>Kein früherer Scan dieses Ordners gespeichert</translation>
    </message>
</context>
<context>
    <name>quillane::PreferencesView</name>
    <message>
        <source>The folders Quillane reads, and why.</source>
        <translation>Die Ordner, die Quillane liest, und warum.</translation>
    </message>
    <message>
        <source>Check Again</source>
        <translation>Erneut prüfen</translation>
    </message>
    <message>
        <source>Access</source>
        <translation>Zugriff</translation>
    </message>
    <message>
        <source>Scanning</source>
        <translation>Scannen</translation>
    </message>
    <message>
        <source>Stay on one file system</source>
        <translation>Auf einem Dateisystem bleiben</translation>
    </message>
    <message>
        <source>Include network file systems and disk images</source>
        <translation>Netzwerkdateisysteme und Laufwerksabbilder einbeziehen</translation>
    </message>
    <message>
        <source>Exclude, one pattern a line: a name (*.o, node_modules) or a path below the scanned folder (src/*/build); a trailing / means folders only; lines starting with # are comments.</source>
        <translation>Ausschließen, ein Muster pro Zeile: ein Name (*.o, node_modules) oder ein Pfad unterhalb des gescannten Ordners (src/*/build); ein / am Ende bedeutet nur Ordner; Zeilen, die mit # beginnen, sind Kommentare.</translation>
    </message>
    <message>
        <source>Status: </source>
        <translation>Status: </translation>
    </message>
    <message>
        <source>All readable</source>
        <translation>Alles lesbar</translation>
    </message>
    <message>
        <source>Some folders unreadable</source>
        <translation>Einige Ordner unlesbar</translation>
    </message>
    <message>
        <source>Nothing to check</source>
        <translation>Nichts zu prüfen</translation>
    </message>
</context>
<context>
    <name>quillane::RecentScansList</name>
    <message>
        <source>Recent Scans</source>
        <translation>Letzte Scans</translation>
    </message>
    <message>
        <source>Scanned %1</source>
        <translation>Gescannt am %1</translation>
    </message>
    <message>
        <source>%1  —  cannot be read</source>
        <translation>%1  –  nicht lesbar</translation>
    </message>
    <message numerus="yes">
        <source>%n day(s) ago</source>
        <translation>
            <numerusform>vor %n Tag</numerusform>
            <numerusform>vor %n Tagen</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>%n hour(s) ago</source>
        <translation>
            <numerusform>vor %n Stunde</numerusform>
            <numerusform>vor %n Stunden</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>%n minute(s) ago</source>
        <translation>
            <numerusform>vor %n Minute</numerusform>
            <numerusform>vor %n Minuten</numerusform>
        </translation>
    </message>
    <message>
        <source>just now</source>
        <translation>gerade eben</translation>
    </message>
    <message>
        <source>Scans are not remembered: %1</source>
        <translation>Scans werden nicht gespeichert: %1</translation>
    </message>
</context>
<context>
    <name>quillane::ScanningHUDView</name>
    <message>
        <source>Cancel Scan</source>
        <translation>Scan abbrechen</translation>
    </message>
    <message>
        <source>Analyzing Storage…</source>
        <translation>Speicher wird analysiert …</translation>
    </message>
    <message>
        <source>Accumulated Size</source>
        <translation>Bisherige Größe</translation>
    </message>
    <message>
        <source>Files Scanned</source>
        <translation>Gescannte Dateien</translation>
    </message>
    <message>
        <source>Directories</source>
        <translation>Ordner</translation>
    </message>
    <message>
        <source>Stop</source>
        <translation>Anhalten</translation>
    </message>
    <message>
        <source>Stop reading and show what was read so far</source>
        <translation>Lesen beenden und zeigen, was bisher gelesen wurde</translation>
    </message>
    <message>
        <source>Stopping…</source>
        <translation>Wird angehalten…</translation>
    </message>
</context>
<context>
    <name>quillane::SystemCachesPanel</name>
    <message>
        <source>System Caches</source>
        <translation>System-Caches</translation>
    </message>
    <message>
        <source>Kept by the system and its tools; cleaned only by their own commands, shown to you before they run.</source>
        <translation>Vom System und seinen Werkzeugen verwaltet; nur mit deren eigenen Befehlen bereinigt, die Ihnen vor dem Ausführen gezeigt werden.</translation>
    </message>
    <message>
        <source>Run Command…</source>
        <translation>Befehl ausführen …</translation>
    </message>
    <message>
        <source>Item</source>
        <translation>Objekt</translation>
    </message>
    <message>
        <source>Size</source>
        <translation>Größe</translation>
    </message>
    <message>
        <source>Cleaned By</source>
        <translation>Bereinigt durch</translation>
    </message>
    <message>
        <source>Working…</source>
        <translation>In Arbeit …</translation>
    </message>
    <message>
        <source>No system caches found.</source>
        <translation>Keine System-Caches gefunden.</translation>
    </message>
    <message>
        <source>Clean “%1” by running this command%2?

%3</source>
        <translation>„%1“ bereinigen, indem dieser Befehl%2 ausgeführt wird?

%3</translation>
    </message>
    <message>
        <source> as the administrator</source>
        <translation> als Administrator</translation>
    </message>
    <message>
        <source>Ran: %1</source>
        <translation>Ausgeführt: %1</translation>
    </message>
    <message>
        <source>Could not clean %1: %2</source>
        <translation>%1 konnte nicht bereinigt werden: %2</translation>
    </message>
    <message>
        <source>Run Command</source>
        <translation>Befehl ausführen</translation>
    </message>
    <message>
        <source>Instead: </source>
        <translation>Stattdessen: </translation>
    </message>
</context>
<context>
    <name>quillane::TrashItemsModel</name>
    <message>
        <source>Original Path</source>
        <translation>Ursprünglicher Pfad</translation>
    </message>
    <message>
        <source>Deleted</source>
        <translation>Gelöscht</translation>
    </message>
    <message>
        <source>Size</source>
        <translation>Größe</translation>
    </message>
    <message>
        <source> (a record without its item)</source>
        <translation> (ein Eintrag ohne sein Objekt)</translation>
    </message>
    <message>
        <source> (no usable record of where it came from)</source>
        <translation> (kein brauchbarer Eintrag über die Herkunft)</translation>
    </message>
</context>
<context>
    <name>quillane::TrashWindow</name>
    <message>
        <source>Trash</source>
        <translation>Papierkorb</translation>
    </message>
    <message>
        <source>Everything in your Trash, on this disk and on mounted drives. Restore puts an item back where it came from; emptying removes it for good.</source>
        <translation>Alles in Ihrem Papierkorb, auf diesem Laufwerk und auf eingehängten Laufwerken. Wiederherstellen legt ein Objekt dorthin zurück, woher es kam; Leeren entfernt es endgültig.</translation>
    </message>
    <message>
        <source>Refresh</source>
        <translation>Aktualisieren</translation>
    </message>
    <message>
        <source>Restore</source>
        <translation>Wiederherstellen</translation>
    </message>
    <message>
        <source>Empty Trash…</source>
        <translation>Papierkorb leeren …</translation>
    </message>
    <message>
        <source>The Trash is empty.</source>
        <translation>Der Papierkorb ist leer.</translation>
    </message>
    <message>
        <source>Reading the Trash…</source>
        <translation>Papierkorb wird gelesen …</translation>
    </message>
    <message>
        <source>Emptying the Trash: %1 of %2 removed, %3 freed…</source>
        <translation>Papierkorb wird geleert: %1 von %2 entfernt, %3 freigegeben …</translation>
    </message>
    <message>
        <source>Emptying the Trash…</source>
        <translation>Papierkorb wird geleert …</translation>
    </message>
    <message>
        <source>Restoring…</source>
        <translation>Wird wiederhergestellt …</translation>
    </message>
    <message>
        <source>Permanently remove %1 (%2) from the Trash? This cannot be undone.</source>
        <translation>%1 (%2) endgültig aus dem Papierkorb entfernen? Dies kann nicht rückgängig gemacht werden.</translation>
    </message>
    <message>
        <source>Empty Trash</source>
        <translation>Papierkorb leeren</translation>
    </message>
</context>
<context>
    <name>quillane::UnreadableFoldersDialog</name>
    <message>
        <source>Unreadable Folders</source>
        <translation>Unlesbare Ordner</translation>
    </message>
    <message>
        <source>Folder</source>
        <translation>Ordner</translation>
    </message>
    <message>
        <source>Reason</source>
        <translation>Grund</translation>
    </message>
    <message>
        <source>Copy</source>
        <translation>Kopieren</translation>
    </message>
    <message numerus="yes">
        <source>Quillane could not read %Ln folder(s). What they hold is not counted.</source>
        <translation>
            <numerusform>Quillane konnte %Ln Ordner nicht lesen. Sein Inhalt wird nicht gezählt.</numerusform>
            <numerusform>Quillane konnte %Ln Ordner nicht lesen. Ihr Inhalt wird nicht gezählt.</numerusform>
        </translation>
    </message>
    <message>
        <source> The first %L1 are listed.</source>
        <translation> Die ersten %L1 sind aufgeführt.</translation>
    </message>
</context>
<context>
    <name>quillane::WelcomeLauncherView</name>
    <message>
        <source>Scan Entire Disk</source>
        <translation>Ganzes Laufwerk scannen</translation>
    </message>
    <message>
        <source>Everything on the disk that you can read, from the top folder down</source>
        <translation>Alles auf dem Laufwerk, was Sie lesen können, vom obersten Ordner an</translation>
    </message>
    <message>
        <source>Scan Home Folder</source>
        <translation>Persönlichen Ordner scannen</translation>
    </message>
    <message>
        <source>Your documents, downloads, caches and projects</source>
        <translation>Ihre Dokumente, Downloads, Caches und Projekte</translation>
    </message>
    <message>
        <source>Select Custom Directory…</source>
        <translation>Eigenen Ordner wählen …</translation>
    </message>
    <message>
        <source>Any folder: a project, a USB drive, another disk</source>
        <translation>Jeder Ordner: ein Projekt, ein USB-Stick, ein anderes Laufwerk</translation>
    </message>
    <message>
        <source>Clean Up Caches…</source>
        <translation>Caches aufräumen …</translation>
    </message>
    <message>
        <source>Review known developer, creator and browser caches, then move them to the Trash</source>
        <translation>Entwickler-, Kreativ- und Browser-Caches prüfen und in den Papierkorb legen</translation>
    </message>
    <message>
        <source>See what takes up space on your disk, and free it safely</source>
        <translation>Sehen, was auf Ihrem Laufwerk Platz belegt, und ihn sicher freigeben</translation>
    </message>
    <message>
        <source>Permissions keep Quillane out; what is inside is not counted.</source>
        <translation>Berechtigungen sperren Quillane aus; was darin liegt, wird nicht gezählt.</translation>
    </message>
    <message>
        <source>Show Folders…</source>
        <translation>Ordner zeigen …</translation>
    </message>
    <message>
        <source>Nothing Sent Anywhere</source>
        <translation>Nichts wird gesendet</translation>
    </message>
    <message>
        <source>Sizes as the Disk Counts Them</source>
        <translation>Größen, wie das Laufwerk sie zählt</translation>
    </message>
    <message numerus="yes">
        <source>%Ln folder(s) cannot be read</source>
        <translation>
            <numerusform>%Ln Ordner ist nicht lesbar</numerusform>
            <numerusform>%Ln Ordner sind nicht lesbar</numerusform>
        </translation>
    </message>
</context>
<context>
    <name>tarnwick::ChangesModel</name>
    <message>
        <source>new</source>
        <translation>neu</translation>
    </message>
    <message>
        <source>gone</source>
        <translation>entfernt</translation>
    </message>
    <message>
        <source>Path</source>
        <translation>Pfad</translation>
    </message>
    <message>
        <source>Before</source>
        <translation>Vorher</translation>
    </message>
    <message>
        <source>After</source>
        <translation>Nachher</translation>
    </message>
    <message>
        <source>Difference</source>
        <translation>Differenz</translation>
    </message>
</context>
<context>
    <name>tarnwick::DashboardActionBar</name>
    <message>
        <source>Select an item to inspect or clean</source>
        <translation>Wählen Sie ein Objekt zum Ansehen oder Aufräumen</translation>
    </message>
    <message>
        <source>Reveal</source>
        <translation>Zeigen</translation>
    </message>
    <message>
        <source>Move to Trash</source>
        <translation>In den Papierkorb</translation>
    </message>
    <message>
        <source>Smart Clean Category</source>
        <translation>Kategorie aufräumen</translation>
    </message>
    <message>
        <source>Current Folder</source>
        <translation>Aktueller Ordner</translation>
    </message>
    <message>
        <source>Folder</source>
        <translation>Ordner</translation>
    </message>
    <message>
        <source>File</source>
        <translation>Datei</translation>
    </message>
</context>
<context>
    <name>tarnwick::DashboardSidebar</name>
    <message>
        <source>SMART CATEGORIES</source>
        <translation>INTELLIGENTE KATEGORIEN</translation>
    </message>
    <message>
        <source>All Files</source>
        <translation>Alle Dateien</translation>
    </message>
    <message numerus="yes">
        <source>%Ln mount point(s) not entered</source>
        <translation>
            <numerusform>%Ln Einhängepunkt nicht betreten</numerusform>
            <numerusform>%Ln Einhängepunkte nicht betreten</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>%Ln item(s) excluded</source>
        <translation>
            <numerusform>%Ln Objekt ausgeschlossen</numerusform>
            <numerusform>%Ln Objekte ausgeschlossen</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>%Ln folder(s) could not be read</source>
        <translation>
            <numerusform>%Ln Ordner konnte nicht gelesen werden</numerusform>
            <numerusform>%Ln Ordner konnten nicht gelesen werden</numerusform>
        </translation>
    </message>
    <message>
        <source>and %L1 more</source>
        <translation>und %L1 weitere</translation>
    </message>
    <message>
        <source>Sizeloom™ Storage</source>
        <translation>Sizeloom™ Speicher</translation>
    </message>
    <message>
        <source>partial: stopped after %L1 entries</source>
        <translation>unvollständig: nach %L1 Einträgen angehalten</translation>
    </message>
</context>
<context>
    <name>tarnwick::FolderSummaryPanel</name>
    <message>
        <source>(no type)</source>
        <translation>(kein Typ)</translation>
    </message>
    <message>
        <source>Largest Files</source>
        <translation>Größte Dateien</translation>
    </message>
    <message>
        <source>Size</source>
        <translation>Größe</translation>
    </message>
    <message>
        <source>Modified</source>
        <translation>Geändert</translation>
    </message>
    <message>
        <source>File Type</source>
        <translation>Dateityp</translation>
    </message>
    <message>
        <source>Files</source>
        <translation>Dateien</translation>
    </message>
    <message>
        <source>Share</source>
        <translation>Anteil</translation>
    </message>
    <message>
        <source>Largest files</source>
        <translation>Größte Dateien</translation>
    </message>
    <message>
        <source>File types</source>
        <translation>Dateitypen</translation>
    </message>
    <message>
        <source>In %1</source>
        <translation>In %1</translation>
    </message>
</context>
<context>
    <name>tarnwick::NameSearchModel</name>
    <message>
        <source>Name</source>
        <translation>Name</translation>
    </message>
    <message>
        <source>Folder</source>
        <translation>Ordner</translation>
    </message>
    <message>
        <source>Size</source>
        <translation>Größe</translation>
    </message>
</context>
<context>
    <name>tarnwick::NameSearchPanel</name>
    <message>
        <source>Search names (use * and ? for patterns)</source>
        <translation>Namen suchen (* und ? für Muster)</translation>
    </message>
    <message>
        <source>Search names</source>
        <translation>Namen suchen</translation>
    </message>
    <message>
        <source>Search results</source>
        <translation>Suchergebnisse</translation>
    </message>
    <message>
        <source>Searching…</source>
        <translation>Suche läuft …</translation>
    </message>
    <message>
        <source>No matches</source>
        <translation>Keine Treffer</translation>
    </message>
    <message numerus="yes">
        <source>%Ln match(es)</source>
        <translation>
            <numerusform>%Ln Treffer</numerusform>
            <numerusform>%Ln Treffer</numerusform>
        </translation>
    </message>
    <message>
        <source>Showing the first %1 of %2 matches</source>
        <translation>Die ersten %1 von %2 Treffern</translation>
    </message>
</context>
<context>
    <name>tarnwick::NodeContextMenu</name>
    <message>
        <source>Drill Down</source>
        <translation>Hineingehen</translation>
    </message>
    <message>
        <source>Rescan This Folder</source>
        <translation>Diesen Ordner neu scannen</translation>
    </message>
    <message>
        <source>Reveal in Finder</source>
        <translation>Im Finder zeigen</translation>
    </message>
    <message>
        <source>Reveal in File Manager</source>
        <translation>Im Dateimanager zeigen</translation>
    </message>
    <message>
        <source>Move to Trash</source>
        <translation>In den Papierkorb</translation>
    </message>
    <message>
        <source>Copy File Path</source>
        <translation>Dateipfad kopieren</translation>
    </message>
</context>
<context>
    <name>tarnwick::SizeloomDashboardView</name>
    <message>
        <source>This folder is empty or has zero allocated space</source>
        <translation>Dieser Ordner ist leer oder belegt keinen Platz</translation>
    </message>
    <message>
        <source>Rescan this directory</source>
        <translation>Diesen Ordner neu scannen</translation>
    </message>
    <message>
        <source>Cannot Reveal</source>
        <translation>Kann nicht gezeigt werden</translation>
    </message>
    <message>
        <source>“%1” could not be shown in a file manager.</source>
        <translation>„%1“ konnte nicht in einem Dateimanager gezeigt werden.</translation>
    </message>
</context>
<context>
    <name>tarnwick::StorageGauge</name>
    <message>
        <source>Total Scanned</source>
        <translation>Insgesamt gescannt</translation>
    </message>
</context>
<context>
    <name>tarnwick::TarnwickAppCoordinator</name>
    <message>
        <source>Could not restore “%1”: %2</source>
        <translation>„%1“ konnte nicht wiederhergestellt werden: %2</translation>
    </message>
    <message>
        <source>Restored “%1”.</source>
        <translation>„%1“ wiederhergestellt.</translation>
    </message>
    <message>
        <source>This tree was read from a file, and its root folder is not on this computer.</source>
        <translation>Dieser Baum wurde aus einer Datei gelesen, und sein Wurzelordner ist nicht auf diesem Computer.</translation>
    </message>
    <message>
        <source>This tree was read from a file, and the folder at its root&apos;s path here is on another disk than the one it was read from.</source>
        <translation>Dieser Baum wurde aus einer Datei gelesen, und der Ordner unter seinem Wurzelpfad liegt hier auf einem anderen Laufwerk als dem, von dem er gelesen wurde.</translation>
    </message>
    <message>
        <source>This tree was read from a file.</source>
        <translation>Dieser Baum wurde aus einer Datei gelesen.</translation>
    </message>
</context>
<context>
    <name>tarnwick::TrashController</name>
    <message>
        <source>Restored %1.</source>
        <translation>%1 wiederhergestellt.</translation>
    </message>
    <message numerus="yes">
        <source>Restored %L1 of %Ln item(s).</source>
        <translation>
            <numerusform>%L1 von %Ln Objekt wiederhergestellt.</numerusform>
            <numerusform>%L1 von %Ln Objekten wiederhergestellt.</numerusform>
        </translation>
    </message>
    <message>
        <source>Stopped emptying the Trash after freeing %1.</source>
        <translation>Leeren des Papierkorbs nach %1 freigegebenem Platz angehalten.</translation>
    </message>
    <message>
        <source>Emptied the Trash, freeing %1.</source>
        <translation>Papierkorb geleert, %1 freigegeben.</translation>
    </message>
    <message>
        <source> %1 could not be removed; %2: %3</source>
        <translation> %1 konnten nicht entfernt werden; %2: %3</translation>
    </message>
</context>
<context>
    <name>tarnwick::TreeListModel</name>
    <message>
        <source>Name</source>
        <translation>Name</translation>
    </message>
    <message>
        <source>Size</source>
        <translation>Größe</translation>
    </message>
    <message>
        <source>% of Parent</source>
        <translation>% des Ordners</translation>
    </message>
    <message>
        <source>Files</source>
        <translation>Dateien</translation>
    </message>
    <message>
        <source>Modified</source>
        <translation>Geändert</translation>
    </message>
</context>
<context>
    <name>tarnwick::TreemapBreadcrumbBar</name>
    <message>
        <source>Navigate to parent directory</source>
        <translation>Zum übergeordneten Ordner</translation>
    </message>
    <message>
        <source>Rescan this directory</source>
        <translation>Diesen Ordner neu scannen</translation>
    </message>
    <message>
        <source>Root</source>
        <translation>Wurzel</translation>
    </message>
    <message>
        <source>Partial</source>
        <translation>Unvollständig</translation>
    </message>
    <message>
        <source>Folders above</source>
        <translation>Übergeordnete Ordner</translation>
    </message>
</context>
<context>
    <name>tarnwick::TreemapCanvasView</name>
    <message>
        <source>Treemap</source>
        <translation>Kachelkarte</translation>
    </message>
    <message>
        <source>Show Smaller Items</source>
        <translation>Kleinere Objekte zeigen</translation>
    </message>
</context>
<context>
    <name>tarnwick::TreemapTooltip</name>
    <message>
        <source>Folder</source>
        <translation>Ordner</translation>
    </message>
    <message>
        <source>File</source>
        <translation>Datei</translation>
    </message>
    <message>
        <source>Sub-pixel Aggregated Tail</source>
        <translation>Zusammengefasste Kleinstobjekte</translation>
    </message>
    <message>
        <source>Click to drill down</source>
        <translation>Klicken zum Hineingehen</translation>
    </message>
    <message>
        <source>New</source>
        <translation>Neu</translation>
    </message>
    <message>
        <source>Unchanged</source>
        <translation>Unverändert</translation>
    </message>
    <message>
        <source>%1 (was %2)</source>
        <translation>%1 (vorher %2)</translation>
    </message>
</context>
</TS>
