-- A small practice for the screen-reader test: two chairs, three treatments, one stored day.
BEGIN;
INSERT INTO Stuhl (STUHL, TEXT) VALUES ('Stuhl 1', 'Fensterseite'), ('Stuhl 2', 'Wandseite');
INSERT INTO Behand (BEH, TEXT, DAUER, DR_START, DR_DAUER, DR_START2, DR_DAUER2, HON) VALUES
    ('ERST', 'Erstberatung', 30, 0, 20, 0, 0, 45),
    ('KONT', 'Kontrolle', 20, 0, 10, 0, 0, 25.5),
    ('BOGEN', 'Bogenwechsel', 30, 0, 10, 0, 0, 28);
INSERT INTO Idealtag (IDEALTAG) VALUES ('Montag');
INSERT INTO Template (IDEALTAG, STUHL, BEH, STARTZEIT, ENDZEIT) VALUES
    ('Montag', 'Stuhl 1', 'ERST', '08:10', '08:40'),
    ('Montag', 'Stuhl 2', 'BOGEN', '08:10', '08:40');
-- A state of the day that a save at another workstation replaced unseen (as the program keeps it).
CREATE TABLE IF NOT EXISTS IdealtagVersion (IDEALTAG TEXT NOT NULL, ZEIT TEXT NOT NULL, ARBEITSPLATZ TEXT,
    BENUTZER TEXT, ZEILEN TEXT NOT NULL, GELOESCHT INTEGER NOT NULL DEFAULT 0);
INSERT INTO IdealtagVersion (IDEALTAG, ZEIT, ARBEITSPLATZ, BENUTZER, ZEILEN, GELOESCHT) VALUES
    ('Montag', '2026-12-08T10:42:00.000', 'EMPFANG', 'anna', '[["Stuhl 1","ERST","08:10","08:40"]]', 3);
COMMIT;
