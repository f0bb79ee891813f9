<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="de" sourcelanguage="en">
<context>
    <name>App</name>
    <message>
        <source>Not a file, not opened: %1</source>
        <translation>Keine Datei, nicht geöffnet: %1</translation>
    </message>
</context>
<context>
    <name>Canvas</name>
    <message>
        <source>The 3D view needs OpenGL 3.2; this system offers %1.%2.</source>
        <translation>Die 3D-Ansicht benötigt OpenGL 3.2; dieses System bietet %1.%2.</translation>
    </message>
    <message>
        <source>The 3D view's shaders could not be built:
</source>
        <translation>Die Shader der 3D-Ansicht konnten nicht erstellt werden:
</translation>
    </message>
    <message>
        <source>Support Mode (1 Pt). Press ESC to escape.</source>
        <translation>Stützenmodus (1 Pkt.). Mit ESC beenden.</translation>
    </message>
    <message>
        <source>Support Mode (2 Pt). Press ESC to escape.</source>
        <translation>Stützenmodus (2 Pkt.). Mit ESC beenden.</translation>
    </message>
    <message>
        <source> [X Flip Copy ON]</source>
        <translation> [X-Spiegelkopie EIN]</translation>
    </message>
    <message>
        <source> [Y Flip Copy ON]</source>
        <translation> [Y-Spiegelkopie EIN]</translation>
    </message>
    <message>
        <source>Select a boundary to create the ring support</source>
        <translation>Eine Kontur für den Ringsockel wählen</translation>
    </message>
    <message>
        <source>The 3D view is not available (see the log).</source>
        <translation>Die 3D-Ansicht ist nicht verfügbar (siehe Protokoll).</translation>
    </message>
    <message>
        <source>The 3D view is not available.</source>
        <translation>Die 3D-Ansicht ist nicht verfügbar.</translation>
    </message>
</context>
<context>
    <name>Loader</name>
    <message>
        <source>Could not load %1: %2</source>
        <translation>%1 konnte nicht geladen werden: %2</translation>
    </message>
</context>
<context>
    <name>Scene</name>
    <message>
        <source>The scale was limited to %1 … %2.</source>
        <translation>Die Skalierung wurde auf %1 … %2 begrenzt.</translation>
    </message>
    <message>
        <source>Models out of build size</source>
        <translation>Modelle außerhalb des Bauraums</translation>
    </message>
    <message>
        <source>No model is selected</source>
        <translation>Kein Modell ausgewählt</translation>
    </message>
    <message>
        <source>Selected supports and bases will be ignored.</source>
        <translation>Ausgewählte Stützen und Sockel werden ignoriert.</translation>
    </message>
    <message>
        <source>All model is deleted.</source>
        <translation>Alle Modelle wurden gelöscht.</translation>
    </message>
</context>
<context>
    <name>Window</name>
    <message>
        <source>Arrange</source>
        <translation>Anordnen</translation>
    </message>
    <message>
        <source>Place all models on the plate without overlap (A)</source>
        <translation>Alle Modelle ohne Überlappung auf der Plattform verteilen (A)</translation>
    </message>
    <message>
        <source>No room on the plate for: %1</source>
        <translation>Kein Platz auf der Plattform für: %1</translation>
    </message>
    <message>
        <source>There is no room on the plate for these models; they were set beside it:
%1</source>
        <translation>Für diese Modelle ist auf der Plattform kein Platz; sie wurden daneben gestellt:
%1</translation>
    </message>
    <message>
        <source>Some models lie outside the build area; what lies outside will not be printed.
Save the package anyway?</source>
        <translation>Einige Modelle liegen außerhalb des Druckbereichs; was außerhalb liegt, wird nicht gedruckt.
Paket trotzdem speichern?</translation>
    </message>
    <message numerus="yes">
        <source>Arranged %n model(s) on the plate.</source>
        <translation>
            <numerusform>%n Modell auf der Plattform angeordnet.</numerusform>
            <numerusform>%n Modelle auf der Plattform angeordnet.</numerusform>
        </translation>
    </message>
    <message>
        <source>3D View</source>
        <translation>3D-Ansicht</translation>
    </message>
    <message>
        <source>Slice View</source>
        <translation>Schichtansicht</translation>
    </message>
    <message>
        <source>|&lt;</source>
        <translation>|&lt;</translation>
    </message>
    <message>
        <source>First slice</source>
        <translation>Erste Schicht</translation>
    </message>
    <message>
        <source>&lt;</source>
        <translation>&lt;</translation>
    </message>
    <message>
        <source>Previous slice</source>
        <translation>Vorherige Schicht</translation>
    </message>
    <message>
        <source>&gt;</source>
        <translation>&gt;</translation>
    </message>
    <message>
        <source>Next slice</source>
        <translation>Nächste Schicht</translation>
    </message>
    <message>
        <source>&gt;|</source>
        <translation>&gt;|</translation>
    </message>
    <message>
        <source>Last slice</source>
        <translation>Letzte Schicht</translation>
    </message>
    <message>
        <source>Delete this slice</source>
        <translation>Diese Schicht löschen</translation>
    </message>
    <message>
        <source>Model</source>
        <translation>Modell</translation>
    </message>
    <message>
        <source>Scale</source>
        <translation>Skalierung</translation>
    </message>
    <message>
        <source>Uniform scale</source>
        <translation>Gleichmäßig skalieren</translation>
    </message>
    <message>
        <source>Size (mm)</source>
        <translation>Größe (mm)</translation>
    </message>
    <message>
        <source>Move (mm)</source>
        <translation>Verschieben (mm)</translation>
    </message>
    <message>
        <source>Rotate (°)</source>
        <translation>Drehen (°)</translation>
    </message>
    <message>
        <source>Show</source>
        <translation>Anzeigen</translation>
    </message>
    <message>
        <source>Align</source>
        <translation>Ausrichten</translation>
    </message>
    <message>
        <source>Top</source>
        <translation>Oben</translation>
    </message>
    <message>
        <source>Align the tops (largest y)</source>
        <translation>Oberkanten ausrichten (größtes y)</translation>
    </message>
    <message>
        <source>Middle</source>
        <translation>Mitte</translation>
    </message>
    <message>
        <source>Align the centres in y</source>
        <translation>Mittelpunkte in y ausrichten</translation>
    </message>
    <message>
        <source>Bottom</source>
        <translation>Unten</translation>
    </message>
    <message>
        <source>Align the bottoms (smallest y)</source>
        <translation>Unterkanten ausrichten (kleinstes y)</translation>
    </message>
    <message>
        <source>Equal X</source>
        <translation>Gleich X</translation>
    </message>
    <message>
        <source>Equal gaps along x</source>
        <translation>Gleiche Abstände entlang x</translation>
    </message>
    <message>
        <source>Left</source>
        <translation>Links</translation>
    </message>
    <message>
        <source>Align the left sides (smallest x)</source>
        <translation>Linke Seiten ausrichten (kleinstes x)</translation>
    </message>
    <message>
        <source>Center</source>
        <translation>Zentrieren</translation>
    </message>
    <message>
        <source>Align the centres in x</source>
        <translation>Mittelpunkte in x ausrichten</translation>
    </message>
    <message>
        <source>Right</source>
        <translation>Rechts</translation>
    </message>
    <message>
        <source>Align the right sides (largest x)</source>
        <translation>Rechte Seiten ausrichten (größtes x)</translation>
    </message>
    <message>
        <source>Equal Y</source>
        <translation>Gleich Y</translation>
    </message>
    <message>
        <source>Equal gaps along y</source>
        <translation>Gleiche Abstände entlang y</translation>
    </message>
    <message>
        <source>Support</source>
        <translation>Stützen</translation>
    </message>
    <message>
        <source>1 Point</source>
        <translation>1 Punkt</translation>
    </message>
    <message>
        <source>2 Points</source>
        <translation>2 Punkte</translation>
    </message>
    <message>
        <source>Support opacity (%)</source>
        <translation>Deckkraft der Stützen (%)</translation>
    </message>
    <message>
        <source>Support preview</source>
        <translation>Stützenvorschau</translation>
    </message>
    <message>
        <source>Water line</source>
        <translation>Wasserlinie</translation>
    </message>
    <message>
        <source>Drain hole</source>
        <translation>Ablaufloch</translation>
    </message>
    <message>
        <source>Diameter (mm)</source>
        <translation>Durchmesser (mm)</translation>
    </message>
    <message>
        <source>Height (mm)</source>
        <translation>Höhe (mm)</translation>
    </message>
    <message>
        <source>Slice</source>
        <translation>Schichten</translation>
    </message>
    <message>
        <source>Slicing quality</source>
        <translation>Schichtqualität</translation>
    </message>
    <message>
        <source>Slice preview</source>
        <translation>Schichtvorschau</translation>
    </message>
    <message>
        <source>S0</source>
        <translation>S0</translation>
    </message>
    <message>
        <source>Variable slicing</source>
        <translation>Variable Schichtdicke</translation>
    </message>
    <message>
        <source>Layer steps follow the surface angle.</source>
        <translation>Die Schichtdicke folgt dem Flächenwinkel.</translation>
    </message>
    <message>
        <source>Flex slice ranges</source>
        <translation>Flex-Schichtbereiche</translation>
    </message>
    <message>
        <source>Hollow</source>
        <translation>Aushöhlen</translation>
    </message>
    <message>
        <source>Hollowing</source>
        <translation>Aushöhlung</translation>
    </message>
    <message>
        <source>Printer</source>
        <translation>Drucker</translation>
    </message>
    <message>
        <source>Display resolution (px)</source>
        <translation>Displayauflösung (px)</translation>
    </message>
    <message>
        <source>Pixel size (µm)</source>
        <translation>Pixelgröße (µm)</translation>
    </message>
    <message>
        <source>&amp;File</source>
        <translation>&amp;Datei</translation>
    </message>
    <message>
        <source>&amp;Edit</source>
        <translation>&amp;Bearbeiten</translation>
    </message>
    <message>
        <source>&amp;View</source>
        <translation>&amp;Ansicht</translation>
    </message>
    <message>
        <source>&amp;Support</source>
        <translation>&amp;Stützen</translation>
    </message>
    <message>
        <source>Se&amp;ttings</source>
        <translation>&amp;Einstellungen</translation>
    </message>
    <message>
        <source>Language</source>
        <translation>Sprache</translation>
    </message>
    <message>
        <source>&amp;Help</source>
        <translation>&amp;Hilfe</translation>
    </message>
    <message>
        <source>Tool bar</source>
        <translation>Werkzeugleiste</translation>
    </message>
    <message>
        <source>New Scene</source>
        <translation>Neue Szene</translation>
    </message>
    <message>
        <source>Start a new scene</source>
        <translation>Neue Szene beginnen</translation>
    </message>
    <message>
        <source>Load Models...</source>
        <translation>Modelle laden...</translation>
    </message>
    <message>
        <source>Load .stl or .obj files</source>
        <translation>.stl- oder .obj-Dateien laden</translation>
    </message>
    <message>
        <source>Load Scene...</source>
        <translation>Szene laden...</translation>
    </message>
    <message>
        <source>Load a scene file</source>
        <translation>Eine Szenendatei laden</translation>
    </message>
    <message>
        <source>Save Scene...</source>
        <translation>Szene speichern...</translation>
    </message>
    <message>
        <source>Save the scene into a file</source>
        <translation>Die Szene in eine Datei speichern</translation>
    </message>
    <message>
        <source>Save as LPK...</source>
        <translation>Als LPK speichern...</translation>
    </message>
    <message>
        <source>Save slices into LPK format</source>
        <translation>Schichten im LPK-Format speichern</translation>
    </message>
    <message>
        <source>Load LPK...</source>
        <translation>LPK laden...</translation>
    </message>
    <message>
        <source>Open a print package</source>
        <translation>Ein Druckpaket öffnen</translation>
    </message>
    <message>
        <source>Save slices into CWS format</source>
        <translation>Schichten im CWS-Format speichern</translation>
    </message>
    <message>
        <source>Make Slices</source>
        <translation>Schichten erzeugen</translation>
    </message>
    <message>
        <source>Export STL...</source>
        <translation>STL exportieren...</translation>
    </message>
    <message>
        <source>Export the scene as one STL file</source>
        <translation>Die Szene als eine STL-Datei exportieren</translation>
    </message>
    <message>
        <source>Exit</source>
        <translation>Beenden</translation>
    </message>
    <message>
        <source>Undo</source>
        <translation>Rückgängig</translation>
    </message>
    <message>
        <source>Duplicate Models</source>
        <translation>Modelle duplizieren</translation>
    </message>
    <message>
        <source>Duplicate the selected model</source>
        <translation>Das ausgewählte Modell duplizieren</translation>
    </message>
    <message>
        <source>Delete Models</source>
        <translation>Modelle löschen</translation>
    </message>
    <message>
        <source>Delete the selected models</source>
        <translation>Die ausgewählten Modelle löschen</translation>
    </message>
    <message>
        <source>Flip Models</source>
        <translation>Modelle spiegeln</translation>
    </message>
    <message>
        <source>Move to Bottom</source>
        <translation>Auf die Plattform setzen</translation>
    </message>
    <message>
        <source>Put the selected models on the plate</source>
        <translation>Die ausgewählten Modelle auf die Plattform setzen</translation>
    </message>
    <message>
        <source>Clear Models</source>
        <translation>Alle Modelle entfernen</translation>
    </message>
    <message>
        <source>Erase all models</source>
        <translation>Alle Modelle löschen</translation>
    </message>
    <message>
        <source>Group</source>
        <translation>Gruppieren</translation>
    </message>
    <message>
        <source>Group the selected models</source>
        <translation>Die ausgewählten Modelle gruppieren</translation>
    </message>
    <message>
        <source>Ungroup</source>
        <translation>Gruppierung aufheben</translation>
    </message>
    <message>
        <source>Ungroup the selected models</source>
        <translation>Die Gruppierung der ausgewählten Modelle aufheben</translation>
    </message>
    <message>
        <source>Reset View</source>
        <translation>Ansicht zurücksetzen</translation>
    </message>
    <message>
        <source>Isometric</source>
        <translation>Isometrisch</translation>
    </message>
    <message>
        <source>Front</source>
        <translation>Vorne</translation>
    </message>
    <message>
        <source>Rear</source>
        <translation>Hinten</translation>
    </message>
    <message>
        <source>Auto Supports</source>
        <translation>Automatische Stützen</translation>
    </message>
    <message>
        <source>Create a Base</source>
        <translation>Sockel erstellen</translation>
    </message>
    <message>
        <source>Add a Global Base</source>
        <translation>Gemeinsamen Sockel hinzufügen</translation>
    </message>
    <message>
        <source>Create a Ring Base</source>
        <translation>Ringsockel erstellen</translation>
    </message>
    <message>
        <source>Add a Grid Base</source>
        <translation>Gittersockel hinzufügen</translation>
    </message>
    <message>
        <source>Add Support Linkers</source>
        <translation>Stützenverbinder hinzufügen</translation>
    </message>
    <message>
        <source>Drain Hole</source>
        <translation>Ablaufloch</translation>
    </message>
    <message>
        <source>Raft</source>
        <translation>Raft</translation>
    </message>
    <message>
        <source>Draw on Slice</source>
        <translation>Auf Schicht zeichnen</translation>
    </message>
    <message>
        <source>Printer Setting</source>
        <translation>Druckereinstellungen</translation>
    </message>
    <message>
        <source>Exposure Calibration</source>
        <translation>Belichtungskalibrierung</translation>
    </message>
    <message>
        <source>Save setting and recipe</source>
        <translation>Einstellungen und Rezepte speichern</translation>
    </message>
    <message>
        <source>Save recipe file</source>
        <translation>Rezeptdatei speichern</translation>
    </message>
    <message>
        <source>Check for Updates</source>
        <translation>Nach Aktualisierungen suchen</translation>
    </message>
    <message>
        <source>Initialization completed</source>
        <translation>Initialisierung abgeschlossen</translation>
    </message>
    <message>
        <source>Error</source>
        <translation>Fehler</translation>
    </message>
    <message>
        <source>&lt;b&gt;Error:&lt;/b&gt;&lt;br&gt;No setting file found&lt;br&gt;</source>
        <translation>&lt;b&gt;Fehler:&lt;/b&gt;&lt;br&gt;Keine Einstellungsdatei gefunden&lt;br&gt;</translation>
    </message>
    <message>
        <source>A model is still being read; %1 was not opened.</source>
        <translation>Ein Modell wird noch gelesen; %1 wurde nicht geöffnet.</translation>
    </message>
    <message>
        <source>Reading </source>
        <translation>Lese </translation>
    </message>
    <message>
        <source>Could not read the model file %1.</source>
        <translation>Die Modelldatei %1 konnte nicht gelesen werden.</translation>
    </message>
    <message>
        <source>Scene files cannot be opened by this version: %1</source>
        <translation>Szenendateien können mit dieser Version nicht geöffnet werden: %1</translation>
    </message>
    <message>
        <source>Scene files cannot be opened by this version.</source>
        <translation>Szenendateien können mit dieser Version nicht geöffnet werden.</translation>
    </message>
    <message>
        <source>Can't add models in support mode.</source>
        <translation>Im Stützenmodus können keine Modelle hinzugefügt werden.</translation>
    </message>
    <message>
        <source>Load .stl or .obj file</source>
        <translation>.stl- oder .obj-Datei laden</translation>
    </message>
    <message>
        <source>STL, OBJ(*.stl *.obj);;O3D (*.o3d);;All Files(*)</source>
        <translation>STL, OBJ(*.stl *.obj);;O3D (*.o3d);;Alle Dateien(*)</translation>
    </message>
    <message>
        <source>Please choose STL or OBJ format files</source>
        <translation>Bitte Dateien im STL- oder OBJ-Format wählen</translation>
    </message>
    <message>
        <source>Unsaved scene changes will be discarded.</source>
        <translation>Nicht gespeicherte Änderungen an der Szene gehen verloren.</translation>
    </message>
    <message>
        <source>Only local files can be opened: %1</source>
        <translation>Nur lokale Dateien können geöffnet werden: %1</translation>
    </message>
    <message>
        <source>Are you sure to close Orvell3D?
</source>
        <translation>Möchten Sie Orvell3D wirklich schließen?
</translation>
    </message>
    <message>
        <source>The setting file %1 could not be read: %2</source>
        <translation>Die Einstellungsdatei %1 konnte nicht gelesen werden: %2</translation>
    </message>
    <message>
        <source>The settings could not be saved:
%1</source>
        <translation>Die Einstellungen konnten nicht gespeichert werden:
%1</translation>
    </message>
    <message>
        <source>The resin profiles could not be read: %1</source>
        <translation>Die Harzprofile konnten nicht gelesen werden: %1</translation>
    </message>
    <message>
        <source>Angle (°)</source>
        <translation>Winkel (°)</translation>
    </message>
    <message>
        <source>Base</source>
        <translation>Basis</translation>
    </message>
    <message>
        <source>Info</source>
        <translation>Info</translation>
    </message>
    <message>
        <source>Max. Z (mm)</source>
        <translation>Max. Z (mm)</translation>
    </message>
    <message>
        <source>Max. step (µm)</source>
        <translation>Max. Schritt (µm)</translation>
    </message>
    <message>
        <source>Rel. exposure</source>
        <translation>Rel. Belichtung</translation>
    </message>
    <message>
        <source>Saved settings and recipes.</source>
        <translation>Einstellungen und Rezepte gespeichert.</translation>
    </message>
    <message>
        <source>Slice thickness (µm)</source>
        <translation>Schichtdicke (µm)</translation>
    </message>
    <message>
        <source>Step (µm)</source>
        <translation>Schritt (µm)</translation>
    </message>
    <message>
        <source>Supports</source>
        <translation>Stützen</translation>
    </message>
    <message>
        <source>The setting file %1 could not be read at start-up; it is left as it is.</source>
        <translation>Die Einstellungsdatei %1 konnte beim Start nicht gelesen werden; sie bleibt unverändert.</translation>
    </message>
    <message>
        <source>The settings could not be saved:
%1

Close Orvell3D anyway?</source>
        <translation>Die Einstellungen konnten nicht gespeichert werden:
%1

Orvell3D trotzdem schließen?</translation>
    </message>
    <message>
        <source>The settings could not be saved: %1</source>
        <translation>Die Einstellungen konnten nicht gespeichert werden: %1</translation>
    </message>
    <message>
        <source>Top of scene: %1 mm</source>
        <translation>Höchster Punkt: %1 mm</translation>
    </message>
    <message>
        <source>Top of the slicing range; follows the highest point of the scene</source>
        <translation>Obergrenze des Schichtbereichs; folgt dem höchsten Punkt der Szene</translation>
    </message>
    <message>
        <source>Triangles: %1</source>
        <translation>Dreiecke: %1</translation>
    </message>
    <message>
        <source>Vertices: %1</source>
        <translation>Eckpunkte: %1</translation>
    </message>
    <message>
        <source>Write slices to disk</source>
        <translation>Schichten auf Festplatte schreiben</translation>
    </message>
    <message>
        <source>Add Model</source>
        <translation>Modell hinzufügen</translation>
    </message>
    <message>
        <source>Are you sure to erase all models?</source>
        <translation>Wirklich alle Modelle löschen?</translation>
    </message>
    <message>
        <source>Clear all models</source>
        <translation>Alle Modelle löschen</translation>
    </message>
    <message>
        <source>Delete</source>
        <translation>Löschen</translation>
    </message>
    <message>
        <source>Duplicate</source>
        <translation>Duplizieren</translation>
    </message>
    <message>
        <source>Hide</source>
        <translation>Ausblenden</translation>
    </message>
    <message>
        <source>In support mode, normal models can't be removed.</source>
        <translation>Im Stützenmodus können Modelle nicht entfernt werden.</translation>
    </message>
    <message>
        <source>Load Scene</source>
        <translation>Szene laden</translation>
    </message>
    <message>
        <source>Make Center</source>
        <translation>Zentrieren</translation>
    </message>
    <message>
        <source>Move Z+3mm</source>
        <translation>Z+3 mm verschieben</translation>
    </message>
    <message>
        <source>Reset Move (XY)</source>
        <translation>Verschiebung zurücksetzen (XY)</translation>
    </message>
    <message>
        <source>Rot. center</source>
        <translation>Drehzentrum</translation>
    </message>
    <message>
        <source>Select All</source>
        <translation>Alles auswählen</translation>
    </message>
    <message>
        <source>Show This Only</source>
        <translation>Nur dieses zeigen</translation>
    </message>
    <message>
        <source>There is no selected model to proceed.</source>
        <translation>Es ist kein Modell ausgewählt.</translation>
    </message>
    <message>
        <source>Unhide All</source>
        <translation>Alle einblenden</translation>
    </message>
</context>
<context>
    <name>settingSelect</name>
    <message>
        <source>Select a setting file</source>
        <translation>Einstellungsdatei auswählen</translation>
    </message>
    <message>
        <source>Setting files in the data folder:</source>
        <translation>Einstellungsdateien im Datenordner:</translation>
    </message>
</context>
<context>
    <name>UnbuiltCommands</name>
    <message>
        <source>Load Scene: opens a saved scene (.o3d). Not available in this version yet.</source>
        <translation>Szene laden: öffnet eine gespeicherte Szene (.o3d). In dieser Version noch nicht verfügbar.</translation>
    </message>
    <message>
        <source>Save Scene: saves the models and supports as a scene (.o3d). Not available in this version yet.</source>
        <translation>Szene speichern: speichert Modelle und Stützen als Szene (.o3d). In dieser Version noch nicht verfügbar.</translation>
    </message>
    <message>
        <source>Export STL: saves the whole scene as one binary STL file. Not available in this version yet.</source>
        <translation>STL exportieren: speichert die ganze Szene als eine binäre STL-Datei. In dieser Version noch nicht verfügbar.</translation>
    </message>
    <message>
        <source>Load LPK: opens a print package and shows its layers. Not available in this version yet.</source>
        <translation>LPK laden: öffnet ein Druckpaket und zeigt seine Schichten. In dieser Version noch nicht verfügbar.</translation>
    </message>
    <message>
        <source>First layer. Not available in this version yet.</source>
        <translation>Erste Schicht. In dieser Version noch nicht verfügbar.</translation>
    </message>
    <message>
        <source>Previous layer. Not available in this version yet.</source>
        <translation>Vorige Schicht. In dieser Version noch nicht verfügbar.</translation>
    </message>
    <message>
        <source>Next layer. Not available in this version yet.</source>
        <translation>Nächste Schicht. In dieser Version noch nicht verfügbar.</translation>
    </message>
    <message>
        <source>Last layer. Not available in this version yet.</source>
        <translation>Letzte Schicht. In dieser Version noch nicht verfügbar.</translation>
    </message>
    <message>
        <source>Slice preview: cuts the 3D view at the preview height, showing what lies below (S1) or above (S2). Not available in this version yet.</source>
        <translation>Schichtvorschau: schneidet die 3D-Ansicht in der Vorschauhöhe und zeigt, was darunter (S1) oder darüber (S2) liegt. In dieser Version noch nicht verfügbar.</translation>
    </message>
    <message>
        <source>Auto Supports: adds supports under the overhangs of the selected models. Not available in this version yet.</source>
        <translation>Automatische Stützen: setzt Stützen unter die Überhänge der gewählten Modelle. In dieser Version noch nicht verfügbar.</translation>
    </message>
    <message>
        <source>Add Support Linkers: braces neighbouring supports against each other. Not available in this version yet.</source>
        <translation>Stützenverbinder: verstrebt benachbarte Stützen miteinander. In dieser Version noch nicht verfügbar.</translation>
    </message>
    <message>
        <source>Create a Base: adds a base plate under the selected model. Not available in this version yet.</source>
        <translation>Sockel erzeugen: setzt eine Sockelplatte unter das gewählte Modell. In dieser Version noch nicht verfügbar.</translation>
    </message>
    <message>
        <source>Add a Global Base: adds one base under all models. Not available in this version yet.</source>
        <translation>Gemeinsamer Sockel: setzt einen Sockel unter alle Modelle. In dieser Version noch nicht verfügbar.</translation>
    </message>
    <message>
        <source>Create a Ring Base: adds a ring-shaped base around the model's outline. Not available in this version yet.</source>
        <translation>Ringsockel: setzt einen ringförmigen Sockel um den Umriss des Modells. In dieser Version noch nicht verfügbar.</translation>
    </message>
    <message>
        <source>Add a Grid Base: adds a grid-shaped base under the model. Not available in this version yet.</source>
        <translation>Gittersockel: setzt einen gitterförmigen Sockel unter das Modell. In dieser Version noch nicht verfügbar.</translation>
    </message>
    <message>
        <source>Raft: adds a raft under the model. Not available in this version yet.</source>
        <translation>Raft: setzt ein Raft unter das Modell. In dieser Version noch nicht verfügbar.</translation>
    </message>
    <message>
        <source>Drain Hole: places drain holes in a hollowed model by clicking. Not available in this version yet.</source>
        <translation>Ablaufloch: setzt per Klick Ablauflöcher in ein ausgehöhltes Modell. In dieser Version noch nicht verfügbar.</translation>
    </message>
    <message>
        <source>Hollow: makes the model's layers hollow with a wall of the chosen thickness. Not available in this version yet.</source>
        <translation>Aushöhlen: macht die Schichten des Modells hohl, mit einer Wand der gewählten Stärke. In dieser Version noch nicht verfügbar.</translation>
    </message>
    <message>
        <source>Draw on Slice: paints on a layer image. Not available in this version yet.</source>
        <translation>Auf Schicht zeichnen: malt auf ein Schichtbild. In dieser Version noch nicht verfügbar.</translation>
    </message>
    <message>
        <source>Printer Setting: the machine and view settings. Not available in this version yet.</source>
        <translation>Druckereinstellungen: Maschinen- und Ansichtseinstellungen. In dieser Version noch nicht verfügbar.</translation>
    </message>
    <message>
        <source>Exposure Calibration: makes a package that prints an exposure test. Not available in this version yet.</source>
        <translation>Belichtungskalibrierung: erzeugt ein Paket, das einen Belichtungstest druckt. In dieser Version noch nicht verfügbar.</translation>
    </message>
    <message>
        <source>Check for Updates: looks for a newer version. Not available in this version yet.</source>
        <translation>Nach Updates suchen: sucht nach einer neueren Version. In dieser Version noch nicht verfügbar.</translation>
    </message>
    <message>
        <source>Save recipe file: saves the resin recipes. Not available in this version yet.</source>
        <translation>Rezeptdatei speichern: speichert die Harzrezepte. In dieser Version noch nicht verfügbar.</translation>
    </message>
    <message>
        <source>Save slices into CWS format. Not available in this version yet.</source>
        <translation>Schichten im CWS-Format speichern. In dieser Version noch nicht verfügbar.</translation>
    </message>
</context>
</TS>