"""What a blind user does with Lunaris, step by step, and what Orca must say after each step.

The practice (practice.sql): "Stuhl 1" with ERST 08:10-08:40, "Stuhl 2" with BOGEN 08:10-08:40, 10-minute
rows; both need the doctor at 08:10, so the doctor's 08:10 row is overloaded. Orca's own words (roles,
key names) are English here; what the program says is German.
"""


def run(step, log):
    def edit_menu():
        # The Bearbeiten menu, reached as the user does: Datei, then one menu to the right.
        step('Menü Datei', 'alt+d', expect=['Neu'], retry='Escape')
        step('Menü Bearbeiten', 'Right', expect=['Rückgängig'])

    log('# Einen Tag öffnen')
    step('Öffnen-Dialog', 'ctrl+o', expect=['Template öffnen'])
    step('zum Namensfeld', 'shift+Tab', expect=['Dateiname:'])
    step('Namen tippen', 'M o n t a g')
    step('OK', 'Tab Tab space', expect=['Montag geöffnet, 2 Termine, Honorar'])

    log('# Eine Behandlung wählen')
    step('zur Auswahl', 'Tab', expect=['Auswahl:'])
    step('KONT wählen', 'Down Down', expect=['KONT – Kontrolle, 20 Minuten, 25,50 €'])

    log('# In Stuhl 1 über einen Block und eine freie Zeile')
    step('Tab in Stuhl 1', 'Tab', expect=['Stuhl 1', '08:00 frei'], absent=['Eintragen durch Anklicken'])
    step('Zeile mit Blockbeginn', 'Down', expect=['08:10 ERST Erstberatung bis 08:40, 30 Minuten'])
    step('belegte Zeile', 'Down', expect=['08:20 belegt durch ERST seit 08:10'])
    step('freie Zeile', 'Down Down', expect=['08:40 frei'])

    log('# Eintragen, entfernen, zurücknehmen')
    step('Eintragen', 'space', expect=['KONT 08:40 bis 09:00 eingetragen, Honorar'])
    step('Entfernen', 'Delete', expect=['KONT 08:40 entfernt, Honorar'])
    step('Rückgängig', 'ctrl+z', expect=['Rückgängig: KONT 08:40 bis 09:00 eingetragen'])

    log('# Stuhl 2 und die Arztzeit')
    step('nach rechts in Stuhl 2', 'Right', expect=['Stuhl 2', '08:40 frei'])
    step('Überlastung erzeugen', 'space', expect=['KONT 08:40 bis 09:00 eingetragen', 'Arzt überlastet 08:40'])
    step('nach rechts in die Arztzeit', 'Right', expect=['Dr.-Zeit', '08:40 Arzt 20 Minuten, überlastet um 10'])
    step('Arztzeit ist nur zu lesen', 'space', expect=['Die Arztzeit wird aus den Stühlen berechnet.'])
    step('Wo bin ich', 'KP_Enter', expect=['08:40 Arzt 20 Minuten', 'Dr.-Zeit'])
    step('zurück in Stuhl 2', 'Left', expect=['Stuhl 2', '08:40 KONT Kontrolle bis 09:00, 20 Minuten'])
    step('Versehen zurücknehmen', 'ctrl+z', expect=['Rückgängig: KONT 08:40 entfernt', 'Arzt nicht mehr überlastet 08:40'])

    log('# Speichern')
    step('Speichern', 'ctrl+s', expect=['Gespeichert'])

    log('# Die Versionen: die eben gespeicherte und eine an einem anderen Arbeitsplatz überschriebene')
    step('Menü Datei', 'alt+d', expect=['Neu'], retry='Escape')
    # The list opens on the day; Orca reads a version's whole row.
    step('Versionen', 'v', expect=['Versionen dialog', 'Versionen tree'])
    step('die eben ersetzte', 'Down', expect=['73,00 €'])
    step('die überschriebene', 'Down', expect=['08.12.2026 10:42 (überschrieben an EMPFANG)', 'EMPFANG', 'anna'])
    step('schließen', 'Escape', expect=['Template: Montag'])

    log('# Der Einstellungsdialog')
    edit_menu()
    step('zu Einstellungen', 'Up Up', expect=['Einstellungen bearbeiten'])
    step('öffnen', 'Return', expect=['Einstellungen', 'Arzt:'])
    for label in ['Facharztbezeichnung', 'Adresse:', 'Ort:', 'Öffnungszeit:', 'Schlußzeit:']:
        step(label, 'Tab', expect=[label])
    step('Arbeitstage', 'Tab', expect=['Arbeitstage', 'Mo'])
    step('Slot', 'Tab Tab Tab Tab Tab Tab Tab', expect=['Slot:'])
    step('zur Registerkarte', 'Tab Tab Tab', expect=['Praxis'])
    step('Seite Programm', 'Right', expect=['Programm'])
    step('Sicherungspfad', 'Tab', expect=['Sicherungspfad'])
    for label in ['Sicherungsordner wählen', 'Position Horizontal:', 'Position Vertikal:', 'Schriftart:',
                  'Schriftgröße', 'Schrift ändern']:
        step(label, 'Tab', expect=[label])
    step('schließen', 'Escape', expect=['Template: Montag'])

    log('# Arztzeit ausgleichen')
    edit_menu()
    step('Arztzeit ausgleichen', 'a', expect=['Arztzeit ausgleichen', 'Blöcke dürfen den Stuhl wechseln'])
    step('Schiebegrenze', 'Tab', expect=['Blöcke höchstens um 30 Minuten verschieben'])
    step('Halbtag', 'Tab', expect=['Vormittag und Nachmittag beibehalten'])
    step('zu Berechnen', 'Tab', expect=['Berechnen'])
    step('Berechnen', 'space', expect=['Übernehmen', '1 Block verschoben, keine Überlastung mehr',
                                       'Bestmögliche Lösung'])
    step('Übernehmen', 'space', expect=['1 Block verschoben, keine Überlastung mehr'])
    step('Rückgängig', 'ctrl+z', expect=['Rückgängig: BOGEN von 08:00 nach 08:10 verschoben', 'Arzt überlastet 08:10'])

    log('# Tag füllen')
    edit_menu()
    step('Tag füllen', 'f', expect=['Tag füllen dialog', 'Wie viele zusätzlich?'])
    step('zu KONT', 'Down', expect=['KONT'])
    # The typed digit opens the cell's spin box; Return at once closed it before Orca had read it.
    step('eins mehr', '1', expect=['1 spin button'])
    step('eintragen', 'Return', expect=['1 × KONT zusätzlich'])
    step('zu Berechnen', 'Tab', expect=['Berechnen'])
    step('Berechnen', 'space', expect=['Übernehmen', '1 Block eingefügt. Bestmögliche Lösung'])
    step('schließen', 'Escape', expect=['Template: Montag'])
