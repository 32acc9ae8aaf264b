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
COMMIT;
