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
    <name>ATextField</name>
    <message>
        <source>%1: %2</source>
        <translation>%1: %2</translation>
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
        <source>Level of the output pair, in dB (one read-out serves both channels)</source>
        <translation>Pegel des Ausgangspaars in dB (eine Anzeige für beide Kanäle)</translation>
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
        <source>The link setting could not be saved.</source>
        <translation>Die Kopplung ließ sich nicht speichern.</translation>
    </message>
    <message>
        <source>Connect the Zorvex by USB</source>
        <translation>Das Zorvex per USB anschließen</translation>
    </message>
    <message>
        <source>Zorvex</source>
        <translation>Zorvex</translation>
    </message>
    <message>
        <source>Input level</source>
        <translation>Eingangspegel</translation>
    </message>
    <message>
        <source>Output level</source>
        <translation>Ausgangspegel</translation>
    </message>
    <message>
        <source>Sample rate %1</source>
        <translation>Abtastrate %1</translation>
    </message>
    <message>
        <source>%1. %2</source>
        <translation>%1. %2</translation>
    </message>
    <message>
        <source>could not save the link setting to %1; it is tried again at the next change or detach.</source>
        <translation>die Kopplung konnte nicht in %1 gespeichert werden; sie wird bei der nächsten Änderung oder Trennung erneut gespeichert.</translation>
    </message>
    <message>
        <source>The Zorvex is connected, but you may not use it yet. Unplug it and plug it in again; if that does not help, reinstall the Zorvex panel.</source>
        <translation>Das Zorvex ist angeschlossen, darf aber noch nicht benutzt werden. Ziehen Sie es ab und stecken Sie es wieder ein; hilft das nicht, installieren Sie das Zorvex-Panel neu.</translation>
    </message>
    <message>
        <source>The Zorvex is connected, but its sound did not come up. Unplug it and plug it in again.</source>
        <translation>Das Zorvex ist angeschlossen, aber sein Ton ist nicht bereit. Ziehen Sie es ab und stecken Sie es wieder ein.</translation>
    </message>
    <message>
        <source>The Zorvex&apos;s sound is here, but not its controls. Unplug it and plug it in again.</source>
        <translation>Der Ton des Zorvex ist da, seine Steuerung aber nicht. Ziehen Sie es ab und stecken Sie es wieder ein.</translation>
    </message>
    <message>
        <source>The Zorvex is connected.</source>
        <translation>Das Zorvex ist angeschlossen.</translation>
    </message>
    <message>
        <source>Wayland does not let a program keep its window above others.</source>
        <translation>Unter Wayland kann ein Programm sein Fenster nicht über anderen halten.</translation>
    </message>
    <message>
        <source>No sound settings program could be started. Install one, such as pavucontrol.</source>
        <translation>Kein Programm für die Klangeinstellungen ließ sich starten. Installieren Sie eines, etwa pavucontrol.</translation>
    </message>
</context>
<context>
    <name>Application</name>
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
    <message>
        <source>a panel already runs in this session but does not answer; not starting a second one.</source>
        <translation>in dieser Sitzung läuft schon ein Panel, das nicht antwortet; es wird kein zweites gestartet.</translation>
    </message>
</context>
<context>
    <name>Command</name>
    <message>
        <source>The running panel did not answer.</source>
        <translation>Das laufende Panel hat nicht geantwortet.</translation>
    </message>
    <message>
        <source>No command given.</source>
        <translation>Kein Befehl angegeben.</translation>
    </message>
    <message>
        <source>--set wants CHANNEL=LEVEL, where CHANNEL is input, output, input1, input2, output1 or output2 and LEVEL a level in dB (-10dB) or a fraction from 0 to 1, not &quot;%1&quot;.</source>
        <translation>--set erwartet KANAL=PEGEL, wobei KANAL input, output, input1, input2, output1 oder output2 ist und PEGEL ein Pegel in dB (-10dB) oder ein Bruchteil von 0 bis 1, nicht &quot;%1&quot;.</translation>
    </message>
    <message>
        <source>--mute wants input=on|off|toggle or output=on|off|toggle, not &quot;%1&quot;.</source>
        <translation>--mute erwartet input=on|off|toggle oder output=on|off|toggle, nicht &quot;%1&quot;.</translation>
    </message>
    <message>
        <source>--link wants on or off, not &quot;%1&quot;.</source>
        <translation>--link erwartet on oder off, nicht &quot;%1&quot;.</translation>
    </message>
    <message>
        <source>--rate wants 44100, 48000 or 96000, not &quot;%1&quot;.</source>
        <translation>--rate erwartet 44100, 48000 oder 96000, nicht &quot;%1&quot;.</translation>
    </message>
    <message>
        <source>--preset wants save NAME, load NAME, list or delete NAME, not &quot;%1&quot;.</source>
        <translation>--preset erwartet save NAME, load NAME, list oder delete NAME, nicht &quot;%1&quot;.</translation>
    </message>
    <message>
        <source>--preset %1 wants the preset&apos;s name.</source>
        <translation>--preset %1 erwartet den Namen der Voreinstellung.</translation>
    </message>
    <message>
        <source>&quot;%1&quot; cannot be a preset&apos;s name: use up to 64 characters, no &quot;/&quot;, not starting with &quot;.&quot;.</source>
        <translation>&quot;%1&quot; kann kein Name einer Voreinstellung sein: höchstens 64 Zeichen, kein &quot;/&quot;, nicht mit &quot;.&quot; beginnend.</translation>
    </message>
    <message>
        <source>%1 takes no value.</source>
        <translation>%1 nimmt keinen Wert.</translation>
    </message>
    <message>
        <source>%1 wants a value.</source>
        <translation>%1 erwartet einen Wert.</translation>
    </message>
    <message>
        <source>Only one --preset at a time.</source>
        <translation>Nur ein --preset auf einmal.</translation>
    </message>
    <message>
        <source>Unknown argument &quot;%1&quot;.</source>
        <translation>Unbekanntes Argument &quot;%1&quot;.</translation>
    </message>
    <message>
        <source>--json goes with --get.</source>
        <translation>--json gehört zu --get.</translation>
    </message>
    <message>
        <source>--preset goes alone.</source>
        <translation>--preset steht allein.</translation>
    </message>
    <message>
        <source>--screenshot goes with the window, not with a command.</source>
        <translation>--screenshot gehört zum Fenster, nicht zu einem Befehl.</translation>
    </message>
    <message>
        <source>Usage: zorvex-panel [--simulate] [--screenshot FILE]
       zorvex-panel [--simulate] [--defaults] [--set CHANNEL=LEVEL]... [--mute SIDE=on|off|toggle]...
                    [--link on|off] [--rate 44100|48000|96000] [--get [--json]]
       zorvex-panel [--simulate] --preset save NAME | load NAME | list | delete NAME

Without a command, opens the control panel of the Orvanelle Zorvex USB audio interface.
CHANNEL: input, output (both channels), input1, input2, output1, output2.
LEVEL: a level in dB as the read-outs show it (-10dB) or a fraction from 0 to 1.
SIDE: input or output.
A running panel carries the command out and its window follows; otherwise the command
attaches to the interface without a window.
Exit status: 0 done, 1 preset missing or damaged, 2 usage, 3 no interface, 4 no permission,
5 the rate refused.
</source>
        <translation>Aufruf: zorvex-panel [--simulate] [--screenshot DATEI]
       zorvex-panel [--simulate] [--defaults] [--set KANAL=PEGEL]... [--mute SEITE=on|off|toggle]...
                    [--link on|off] [--rate 44100|48000|96000] [--get [--json]]
       zorvex-panel [--simulate] --preset save NAME | load NAME | list | delete NAME

Ohne Befehl öffnet sich das Bedienfeld des USB-Audio-Interfaces Orvanelle Zorvex.
KANAL: input, output (beide Kanäle), input1, input2, output1, output2.
PEGEL: ein Pegel in dB wie in den Anzeigen (-10dB) oder ein Bruchteil von 0 bis 1.
SEITE: input oder output.
Ein laufendes Panel führt den Befehl aus und sein Fenster folgt; sonst verbindet sich der Befehl
ohne Fenster mit dem Interface.
Rückgabewert: 0 erledigt, 1 Voreinstellung fehlt oder beschädigt, 2 Aufruf, 3 kein Interface,
4 keine Berechtigung, 5 Rate abgelehnt.
</translation>
    </message>
    <message>
        <source>The rate did not change: the interface does not offer %1 Hz.</source>
        <translation>Die Rate hat sich nicht geändert: das Interface bietet %1 Hz nicht an.</translation>
    </message>
    <message>
        <source>on</source>
        <translation>on</translation>
    </message>
    <message>
        <source>off</source>
        <translation>off</translation>
    </message>
    <message>
        <source>input mute  %1
output mute %2
link        %3
</source>
        <translation>input mute  %1
output mute %2
link        %3
</translation>
    </message>
    <message>
        <source>rate        %1 Hz
</source>
        <translation>rate        %1 Hz
</translation>
    </message>
    <message>
        <source>rate        none
</source>
        <translation>rate        none
</translation>
    </message>
    <message>
        <source>window      open
</source>
        <translation>window      open
</translation>
    </message>
    <message>
        <source>window      none
</source>
        <translation>window      none
</translation>
    </message>
    <message>
        <source>The interface did not say which level is %1 dB; nothing changed.</source>
        <translation>Das Interface hat nicht gesagt, welcher Pegel %1 dB ist; nichts wurde geändert.</translation>
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
    <name>PresetMenu</name>
    <message>
        <source>Save preset</source>
        <translation>Voreinstellung sichern</translation>
    </message>
    <message>
        <source>Preset name:</source>
        <translation>Name der Voreinstellung:</translation>
    </message>
    <message>
        <source>Save as…</source>
        <translation>Sichern als…</translation>
    </message>
    <message>
        <source>Delete</source>
        <translation>Löschen</translation>
    </message>
</context>
<context>
    <name>Presets</name>
    <message>
        <source>&quot;%1&quot; cannot be a preset&apos;s name.</source>
        <translation>&quot;%1&quot; kann kein Name einer Voreinstellung sein.</translation>
    </message>
    <message>
        <source>Could not make the folder %1.</source>
        <translation>Der Ordner %1 konnte nicht angelegt werden.</translation>
    </message>
    <message>
        <source>Could not write the preset &quot;%1&quot; to %2: %3</source>
        <translation>Die Voreinstellung &quot;%1&quot; konnte nicht nach %2 geschrieben werden: %3</translation>
    </message>
    <message>
        <source>There is no preset &quot;%1&quot;.</source>
        <translation>Es gibt keine Voreinstellung &quot;%1&quot;.</translation>
    </message>
    <message>
        <source>The preset &quot;%1&quot; cannot be read (%2).</source>
        <translation>Die Voreinstellung &quot;%1&quot; kann nicht gelesen werden (%2).</translation>
    </message>
    <message>
        <source>The preset &quot;%1&quot; is damaged and was not loaded; nothing changed (%2).</source>
        <translation>Die Voreinstellung &quot;%1&quot; ist beschädigt und wurde nicht geladen; nichts wurde geändert (%2).</translation>
    </message>
    <message>
        <source>Could not delete the preset &quot;%1&quot;: %2</source>
        <translation>Die Voreinstellung &quot;%1&quot; konnte nicht gelöscht werden: %2</translation>
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
