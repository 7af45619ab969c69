<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="de_DE" sourcelanguage="en">
<context>
    <name>AStatusLine</name>
    <message>
        <source>Status</source>
        <translation>Status</translation>
    </message>
</context>
<context>
    <name>ATolvane</name>
    <message>
        <source>Zorvex Disabled</source>
        <translation>Zorvex deaktiviert</translation>
    </message>
    <message>
        <source>ZORVEX</source>
        <translation>ZORVEX</translation>
    </message>
    <message>
        <source>LINK</source>
        <translation>KOPPELN</translation>
    </message>
    <message>
        <source>INPUT</source>
        <translation>EINGANG</translation>
    </message>
    <message>
        <source>OUTPUT</source>
        <translation>AUSGANG</translation>
    </message>
    <message>
        <source>RATE</source>
        <translation>ABTASTRATE</translation>
    </message>
    <message>
        <source>Input 1 level: drag, or use the arrow keys, Page Up/Down, Home/End</source>
        <translation>Pegel Eingang 1: ziehen oder mit den Pfeiltasten, Bild auf/ab, Pos1/Ende einstellen</translation>
    </message>
    <message>
        <source>Input 1 level</source>
        <translation>Pegel Eingang 1</translation>
    </message>
    <message>
        <source>Input 2 level: drag, or use the arrow keys, Page Up/Down, Home/End</source>
        <translation>Pegel Eingang 2: ziehen oder mit den Pfeiltasten, Bild auf/ab, Pos1/Ende einstellen</translation>
    </message>
    <message>
        <source>Input 2 level</source>
        <translation>Pegel Eingang 2</translation>
    </message>
    <message>
        <source>Output 1 level: drag, or use the arrow keys, Page Up/Down, Home/End</source>
        <translation>Pegel Ausgang 1: ziehen oder mit den Pfeiltasten, Bild auf/ab, Pos1/Ende einstellen</translation>
    </message>
    <message>
        <source>Output 1 level</source>
        <translation>Pegel Ausgang 1</translation>
    </message>
    <message>
        <source>Output 2 level: drag, or use the arrow keys, Page Up/Down, Home/End</source>
        <translation>Pegel Ausgang 2: ziehen oder mit den Pfeiltasten, Bild auf/ab, Pos1/Ende einstellen</translation>
    </message>
    <message>
        <source>Output 2 level</source>
        <translation>Pegel Ausgang 2</translation>
    </message>
    <message>
        <source>Level of the input pair, in dB (one read-out serves both channels)</source>
        <translation>Pegel des Eingangspaars in dB (eine Anzeige für beide Kanäle)</translation>
    </message>
    <message>
        <source>dB</source>
        <translation>dB</translation>
    </message>
    <message>
        <source>Input level in decibels</source>
        <translation>Eingangspegel in Dezibel</translation>
    </message>
    <message>
        <source>Level of the output pair, in dB (one read-out serves both channels)</source>
        <translation>Pegel des Ausgangspaars in dB (eine Anzeige für beide Kanäle)</translation>
    </message>
    <message>
        <source>Output level in decibels</source>
        <translation>Ausgangspegel in Dezibel</translation>
    </message>
    <message>
        <source>Mute the inputs</source>
        <translation>Die Eingänge stummschalten</translation>
    </message>
    <message>
        <source>Mute</source>
        <translation>Stumm</translation>
    </message>
    <message>
        <source>Mute input</source>
        <translation>Eingang stummschalten</translation>
    </message>
    <message>
        <source>Mute the outputs</source>
        <translation>Die Ausgänge stummschalten</translation>
    </message>
    <message>
        <source>Mute output</source>
        <translation>Ausgang stummschalten</translation>
    </message>
    <message>
        <source>Link</source>
        <translation>Koppeln</translation>
    </message>
    <message>
        <source>Move the two faders of a pair together</source>
        <translation>Die beiden Regler eines Paars gemeinsam bewegen</translation>
    </message>
    <message>
        <source>Link pairs</source>
        <translation>Paare koppeln</translation>
    </message>
    <message>
        <source>Sample rate</source>
        <translation>Abtastrate</translation>
    </message>
    <message>
        <source>96 kHz</source>
        <translation>96 kHz</translation>
    </message>
    <message>
        <source>48 kHz</source>
        <translation>48 kHz</translation>
    </message>
    <message>
        <source>44.1 kHz</source>
        <translation>44,1 kHz</translation>
    </message>
    <message>
        <source>INPUT MODE</source>
        <translation>EINGANGSART</translation>
    </message>
    <message>
        <source>Input selector</source>
        <translation>Eingangswahl</translation>
    </message>
    <message>
        <source>Line</source>
        <translation>Line</translation>
    </message>
    <message>
        <source>Inst</source>
        <translation>Instr.</translation>
    </message>
    <message>
        <source>Factory Defaults</source>
        <translation>Werkseinstellungen</translation>
    </message>
    <message>
        <source>Restore the interface&apos;s factory settings</source>
        <translation>Die Werkseinstellungen des Interfaces wiederherstellen</translation>
    </message>
    <message>
        <source>Keep on Top</source>
        <translation>Immer oben</translation>
    </message>
    <message>
        <source>Keep this window above other windows</source>
        <translation>Dieses Fenster über allen anderen halten</translation>
    </message>
    <message>
        <source>Audio Settings…</source>
        <translation>Audio-Einstellungen…</translation>
    </message>
    <message>
        <source>Open the system&apos;s sound settings</source>
        <translation>Die Toneinstellungen des Systems öffnen</translation>
    </message>
    <message>
        <source>No sound server</source>
        <translation>Kein Soundserver</translation>
    </message>
    <message>
        <source>The rate did not change: no sound server keeps a rate for the interface, so each program that opens it sets its own.</source>
        <translation>Die Rate blieb, wie sie war: Kein Soundserver hält eine Rate für das Interface fest, also stellt jedes Programm, das es öffnet, seine eigene ein.</translation>
    </message>
    <message>
        <source>Server keeps rate</source>
        <translation>Rate vom Server</translation>
    </message>
    <message>
        <source>The rate did not change: the sound server cannot switch the interface&apos;s rate.</source>
        <translation>Die Rate blieb, wie sie war: Der Soundserver kann die Rate des Interfaces nicht umstellen.</translation>
    </message>
    <message>
        <source>Rate unchanged</source>
        <translation>Rate unverändert</translation>
    </message>
    <message>
        <source>The rate did not change: the system refused it.</source>
        <translation>Die Rate blieb, wie sie war: Das System hat sie abgelehnt.</translation>
    </message>
    <message>
        <source>No rate</source>
        <translation>Keine Rate</translation>
    </message>
    <message>
        <source>No program streams to the interface and no sound server keeps a rate for it.</source>
        <translation>Kein Programm spielt über das Interface, und kein Soundserver hält eine Rate dafür fest.</translation>
    </message>
    <message>
        <source>%1 Hz</source>
        <translation>%1 Hz</translation>
    </message>
    <message>
        <source>could not save the link setting to %1; it is tried again at the next detach.</source>
        <translation>die Kopplung ließ sich nicht in %1 speichern; beim nächsten Trennen wird es erneut versucht.</translation>
    </message>
    <message>
        <source>The link setting could not be saved.</source>
        <translation>Die Kopplung ließ sich nicht speichern.</translation>
    </message>
    <message>
        <source>No permission to use the Zorvex&apos;s HID device: install the udev rule 70-zorvex.rules, then unplug and replug the Zorvex.</source>
        <translation>Kein Zugriff auf das HID-Gerät des Zorvex: die udev-Regel 70-zorvex.rules installieren, dann das Zorvex aus- und wieder einstecken.</translation>
    </message>
    <message>
        <source>The Zorvex&apos;s HID device is here, but not its sound card &quot;Zorvex&quot; (see /proc/asound/cards).</source>
        <translation>Das HID-Gerät des Zorvex ist da, seine Soundkarte „Zorvex“ aber nicht (siehe /proc/asound/cards).</translation>
    </message>
    <message>
        <source>The sound card &quot;Zorvex&quot; is here, but not its HID device (see /dev/hidraw*).</source>
        <translation>Die Soundkarte „Zorvex“ ist da, ihr HID-Gerät aber nicht (siehe /dev/hidraw*).</translation>
    </message>
    <message>
        <source>Connect the Zorvex by USB</source>
        <translation>Das Zorvex per USB anschließen</translation>
    </message>
    <message>
        <source>Zorvex</source>
        <translation>Zorvex</translation>
    </message>
</context>
<context>
    <name>Application</name>
    <message>
        <source>Control panel for the Orvanelle Zorvex USB audio interface.</source>
        <translation>Bedienfeld für das USB-Audio-Interface Orvanelle Zorvex.</translation>
    </message>
    <message>
        <source>Run on a simulated interface instead of the real one.</source>
        <translation>Mit einem simulierten statt dem echten Interface laufen.</translation>
    </message>
    <message>
        <source>Render the window into &lt;file&gt; (PNG) and exit.</source>
        <translation>Das Fenster in &lt;Datei&gt; (PNG) zeichnen und beenden.</translation>
    </message>
    <message>
        <source>file</source>
        <translation>Datei</translation>
    </message>
    <message>
        <source>--screenshot needs a file name.</source>
        <translation>--screenshot braucht einen Dateinamen.</translation>
    </message>
    <message>
        <source>no display found; rendering the window off screen instead.</source>
        <translation>keine Anzeige gefunden; das Fenster wird stattdessen unsichtbar gezeichnet.</translation>
    </message>
    <message>
        <source>could not create a file for the picture.</source>
        <translation>konnte keine Datei für das Bild anlegen.</translation>
    </message>
    <message>
        <source>could not write %1</source>
        <translation>konnte %1 nicht schreiben</translation>
    </message>
</context>
<context>
    <name>Preferences</name>
    <message>
        <source>%1 is not a regular file; settings are neither read from it nor saved.</source>
        <translation>%1 ist keine gewöhnliche Datei; Einstellungen werden weder daraus gelesen noch dorthin gespeichert.</translation>
    </message>
</context>
<context>
    <name>linuxbackends::LogindSleepWatcher</name>
    <message>
        <source>Zorvex control panel</source>
        <translation>Zorvex-Bedienfeld</translation>
    </message>
    <message>
        <source>Tells the Zorvex the computer is going to sleep</source>
        <translation>Teilt dem Zorvex mit, dass der Rechner in den Ruhezustand geht</translation>
    </message>
</context>
</TS>
