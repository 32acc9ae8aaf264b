-- Tables of the practice database. Shared with the family's appointment planner: names are fixed.
-- Numeric fields refuse text, names that identify a row are unique. Rows come back in insertion order.
CREATE TABLE IF NOT EXISTS Template (
    IDEALTAG TEXT,
    STUHL TEXT,
    BEH TEXT,
    STARTZEIT TEXT,
    ENDZEIT TEXT
);
CREATE INDEX IF NOT EXISTS Template_IDEALTAG_STUHL ON Template (IDEALTAG, STUHL);
CREATE TABLE IF NOT EXISTS Idealtag (
    IDEALTAG TEXT CONSTRAINT IDEALTAG_eindeutig UNIQUE
);
CREATE TABLE IF NOT EXISTS Behand (
    BEH TEXT CONSTRAINT BEH_eindeutig UNIQUE,
    TEXT TEXT,
    DAUER INTEGER NOT NULL DEFAULT 0 CONSTRAINT DAUER_ganzzahl CHECK (typeof(DAUER) = 'integer'),
    DR_START INTEGER NOT NULL DEFAULT 0 CONSTRAINT DR_START_ganzzahl CHECK (typeof(DR_START) = 'integer'),
    DR_DAUER INTEGER NOT NULL DEFAULT 0 CONSTRAINT DR_DAUER_ganzzahl CHECK (typeof(DR_DAUER) = 'integer'),
    DR_START2 INTEGER NOT NULL DEFAULT 0 CONSTRAINT DR_START2_ganzzahl CHECK (typeof(DR_START2) = 'integer'),
    DR_DAUER2 INTEGER NOT NULL DEFAULT 0 CONSTRAINT DR_DAUER2_ganzzahl CHECK (typeof(DR_DAUER2) = 'integer'),
    HON NUMERIC NOT NULL DEFAULT 0 CONSTRAINT HON_zahl CHECK (typeof(HON) IN ('integer', 'real'))
);
CREATE TABLE IF NOT EXISTS Stuhl (
    STUHL TEXT CONSTRAINT STUHL_eindeutig UNIQUE,
    TEXT TEXT
);
