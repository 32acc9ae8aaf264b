-- Demo practice: four chairs, a dozen orthodontic treatments, two stored ideal days.
-- Loaded after resources/schema.sql into an empty database.
BEGIN;
INSERT INTO Stuhl (STUHL, TEXT) VALUES
    ('Stuhl 1', 'Behandlungszimmer 1, Fensterseite'),
    ('Stuhl 2', 'Behandlungszimmer 1, Wandseite'),
    ('Stuhl 3', 'Behandlungszimmer 2'),
    ('Prophylaxe', 'Prophylaxeraum');

INSERT INTO Behand (BEH, TEXT, DAUER, DR_START, DR_DAUER, DR_START2, DR_DAUER2, HON) VALUES
    ('ERST', 'Erstberatung', 30, 0, 20, 0, 0, 45),
    ('BEFU', 'Befundaufnahme mit Abdrücken', 40, 10, 15, 30, 5, 62.5),
    ('PLAN', 'Behandlungsplanbesprechung', 30, 0, 30, 0, 0, 38),
    ('BRAC', 'Brackets eingliedern', 90, 10, 30, 70, 15, 210),
    ('BOGEN', 'Bogenwechsel', 30, 10, 10, 0, 0, 28.5),
    ('KONT', 'Kontrolle festsitzende Apparatur', 20, 10, 5, 0, 0, 18),
    ('LOSE', 'Kontrolle lose Zahnspange', 10, 0, 5, 0, 0, 12),
    ('AKTIV', 'Aktivierung der Zahnspange', 20, 0, 10, 0, 0, 21),
    ('ENTB', 'Entbänderung', 60, 0, 20, 50, 10, 95),
    ('RETA', 'Retainer einsetzen', 30, 10, 15, 0, 0, 55),
    ('PZR', 'Professionelle Zahnreinigung', 40, 0, 0, 0, 0, 65),
    ('REP', 'Reparatur', 20, 0, 10, 0, 0, 15);

INSERT INTO Idealtag (IDEALTAG) VALUES ('Montag Standard'), ('Freitag kurz');

INSERT INTO Template (IDEALTAG, STUHL, BEH, STARTZEIT, ENDZEIT) VALUES
    ('Montag Standard', 'Stuhl 1', 'ERST', '08:00', '08:30'),
    ('Montag Standard', 'Stuhl 1', 'BEFU', '08:30', '09:10'),
    ('Montag Standard', 'Stuhl 1', 'BRAC', '09:30', '11:00'),
    ('Montag Standard', 'Stuhl 1', 'PLAN', '11:00', '11:30'),
    ('Montag Standard', 'Stuhl 1', 'KONT', '13:00', '13:20'),
    ('Montag Standard', 'Stuhl 1', 'KONT', '13:20', '13:40'),
    ('Montag Standard', 'Stuhl 2', 'KONT', '08:00', '08:20'),
    ('Montag Standard', 'Stuhl 2', 'BOGEN', '08:20', '08:50'),
    ('Montag Standard', 'Stuhl 2', 'AKTIV', '09:00', '09:20'),
    ('Montag Standard', 'Stuhl 2', 'LOSE', '09:20', '09:30'),
    ('Montag Standard', 'Stuhl 2', 'ENTB', '10:00', '11:00'),
    ('Montag Standard', 'Stuhl 2', 'REP', '14:00', '14:20'),
    ('Montag Standard', 'Stuhl 3', 'LOSE', '08:00', '08:10'),
    ('Montag Standard', 'Stuhl 3', 'AKTIV', '08:10', '08:30'),
    ('Montag Standard', 'Stuhl 3', 'RETA', '09:00', '09:30'),
    ('Montag Standard', 'Stuhl 3', 'BOGEN', '10:30', '11:00'),
    ('Montag Standard', 'Prophylaxe', 'PZR', '08:00', '08:40'),
    ('Montag Standard', 'Prophylaxe', 'PZR', '08:40', '09:20'),
    ('Montag Standard', 'Prophylaxe', 'PZR', '10:00', '10:40'),
    ('Freitag kurz', 'Stuhl 1', 'KONT', '08:00', '08:20'),
    ('Freitag kurz', 'Stuhl 1', 'BOGEN', '08:20', '08:50'),
    ('Freitag kurz', 'Stuhl 2', 'ERST', '08:30', '09:00'),
    ('Freitag kurz', 'Stuhl 3', 'LOSE', '09:00', '09:10'),
    ('Freitag kurz', 'Prophylaxe', 'PZR', '09:00', '09:40');
COMMIT;
