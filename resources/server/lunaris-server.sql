-- Lunaris auf dem PostgreSQL-Server der Praxis: die Tabellen und die Rechte der Arbeitsplätze.
--
-- Einmal auszuführen von einem Administrator (der Rolle, der die Datenbank gehört), in der Datenbank
-- der Praxis, zum Beispiel:
--     psql --host=server --username=postgres --dbname=kavemo --file=lunaris-server.sql
-- Vorher die beiden Rollen der Arbeitsplätze anlegen (das Passwort wird erfragt und als SCRAM gespeichert):
--     createuser --host=server --username=postgres --pwprompt lunaris         -- liest und schreibt
--     createuser --host=server --username=postgres --pwprompt lunaris_lesen   -- liest nur (z. B. Empfang)
--
-- Das Skript darf wiederholt werden: vorhandene Tabellen bleiben, wie sie sind. Die Tabellen des
-- Terminplaners bekommen die Rollen von Lunaris nicht zu sehen.

BEGIN;

-- Die vier Tabellen, die Lunaris mit dem Terminplaner teilt; "ID" nummeriert die Zeilen.
CREATE TABLE IF NOT EXISTS "Template" ("ID" bigint GENERATED ALWAYS AS IDENTITY PRIMARY KEY,
    "IDEALTAG" text, "STUHL" text, "BEH" text, "STARTZEIT" text, "ENDZEIT" text);
CREATE TABLE IF NOT EXISTS "Idealtag" ("ID" bigint GENERATED ALWAYS AS IDENTITY PRIMARY KEY,
    "IDEALTAG" text CONSTRAINT "IDEALTAG_eindeutig" UNIQUE);
CREATE TABLE IF NOT EXISTS "Behand" ("ID" bigint GENERATED ALWAYS AS IDENTITY PRIMARY KEY,
    "BEH" text CONSTRAINT "BEH_eindeutig" UNIQUE, "TEXT" text,
    "DAUER" integer NOT NULL DEFAULT 0, "DR_START" integer NOT NULL DEFAULT 0,
    "DR_DAUER" integer NOT NULL DEFAULT 0, "DR_START2" integer NOT NULL DEFAULT 0,
    "DR_DAUER2" integer NOT NULL DEFAULT 0, "HON" numeric NOT NULL DEFAULT 0);
CREATE TABLE IF NOT EXISTS "Stuhl" ("ID" bigint GENERATED ALWAYS AS IDENTITY PRIMARY KEY,
    "STUHL" text CONSTRAINT "STUHL_eindeutig" UNIQUE, "TEXT" text);
CREATE INDEX IF NOT EXISTS "Template_IDEALTAG_STUHL" ON "Template" ("IDEALTAG", "STUHL");

-- Lunaris' eigene Tabelle: die früheren Fassungen jedes Idealtags.
CREATE TABLE IF NOT EXISTS "IdealtagVersion" ("ID" bigint GENERATED ALWAYS AS IDENTITY PRIMARY KEY,
    "IDEALTAG" text NOT NULL, "ZEIT" text NOT NULL, "ARBEITSPLATZ" text, "BENUTZER" text,
    "ZEILEN" text NOT NULL, "GELOESCHT" integer NOT NULL DEFAULT 0);
CREATE INDEX IF NOT EXISTS "IdealtagVersion_IDEALTAG" ON "IdealtagVersion" ("IDEALTAG");

-- Jede Änderung der vier Tabellen meldet sich bei allen Arbeitsplätzen (auch die des Terminplaners).
CREATE OR REPLACE FUNCTION lunaris_aenderung() RETURNS trigger LANGUAGE plpgsql
    AS $f$ BEGIN PERFORM pg_notify('lunaris_aenderung', TG_TABLE_NAME); RETURN NULL; END $f$;
CREATE OR REPLACE TRIGGER lunaris_aenderung AFTER INSERT OR UPDATE OR DELETE OR TRUNCATE ON "Template"
    FOR EACH STATEMENT EXECUTE FUNCTION lunaris_aenderung();
CREATE OR REPLACE TRIGGER lunaris_aenderung AFTER INSERT OR UPDATE OR DELETE OR TRUNCATE ON "Idealtag"
    FOR EACH STATEMENT EXECUTE FUNCTION lunaris_aenderung();
CREATE OR REPLACE TRIGGER lunaris_aenderung AFTER INSERT OR UPDATE OR DELETE OR TRUNCATE ON "Behand"
    FOR EACH STATEMENT EXECUTE FUNCTION lunaris_aenderung();
CREATE OR REPLACE TRIGGER lunaris_aenderung AFTER INSERT OR UPDATE OR DELETE OR TRUNCATE ON "Stuhl"
    FOR EACH STATEMENT EXECUTE FUNCTION lunaris_aenderung();

-- Speichern eines Idealtags in einer einzigen Anweisung (über ein VPN ist jede Anweisung ein Weg hin
-- und zurück): der Vergleich mit dem Stand, den der Arbeitsplatz erwartet, die frühere Fassung und das
-- Schreiben. Stimmt der Stand nicht, wird nichts geschrieben und der Tag, wie er jetzt ist, geliefert.
-- Kommt der Aufruf erst an, nachdem der Arbeitsplatz aufgegeben hat (spaetestens, in der Uhrzeit des
-- Servers), wird ebenfalls nichts geschrieben. Lunaris legt die Funktion selbst an, wenn es sich als
-- Eigentümer der Datenbank verbindet; frühere Fassungen (…_1) bleiben für ältere Arbeitsplätze bestehen.
CREATE OR REPLACE FUNCTION lunaris_idealtag_speichern_2(tag text, geloescht_fragen boolean, pruefen boolean,
    erwartet jsonb, zeit text, arbeitsplatz text, benutzer text, anlass integer, behalten integer,
    alle_ersetzen boolean, ersetzt bigint[], stuehle text[], behandlungen text[], anfaenge text[], enden text[],
    spaetestens timestamptz)
    RETURNS TABLE (art integer, id bigint, stuhl text, beh text, startzeit text, endzeit text)
    LANGUAGE sql VOLATILE AS $f$
LOCK TABLE "Template", "Idealtag" IN SHARE ROW EXCLUSIVE MODE;
WITH intime AS (SELECT jetzt, $16 IS NULL OR jetzt <= $16 AS v FROM clock_timestamp() AS jetzt),
cur AS (SELECT "ID", "STUHL", "BEH", "STARTZEIT", "ENDZEIT" FROM "Template" WHERE "IDEALTAG" = $1),
listed AS (SELECT EXISTS (SELECT 1 FROM "Idealtag" WHERE "IDEALTAG" = $1) AS v),
ok AS (SELECT (SELECT v FROM intime) AND NOT ($2 AND NOT (SELECT v FROM listed)) AND (NOT $3 OR
    (SELECT coalesce(jsonb_agg(jsonb_build_array("ID", coalesce("STUHL", ''), "BEH", "STARTZEIT", "ENDZEIT")
    ORDER BY "ID"), '[]') FROM cur) = $4) AS v),
kept AS (SELECT EXISTS (SELECT 1 FROM cur) OR (SELECT v FROM listed) AS v),
version AS (INSERT INTO "IdealtagVersion" ("IDEALTAG", "ZEIT", "ARBEITSPLATZ", "BENUTZER", "ZEILEN", "GELOESCHT")
    SELECT $1, $5, $6, $7, coalesce((SELECT json_agg(json_build_array("STUHL", "BEH", "STARTZEIT", "ENDZEIT")
    ORDER BY "ID") FROM cur)::text, '[]'), $8 WHERE (SELECT v FROM ok) AND (SELECT v FROM kept)),
pruned AS (DELETE FROM "IdealtagVersion" WHERE (SELECT v FROM ok) AND "IDEALTAG" = $1 AND "ID" NOT IN
    (SELECT "ID" FROM "IdealtagVersion" WHERE "IDEALTAG" = $1 ORDER BY "ID" DESC
    LIMIT (SELECT $9 - CASE WHEN v THEN 1 ELSE 0 END FROM kept))),
removed AS (DELETE FROM "Template" WHERE (SELECT v FROM ok) AND "IDEALTAG" = $1 AND ($10 OR "ID" IN
    (SELECT unnest($11))) RETURNING "ID"),
listing AS (INSERT INTO "Idealtag" ("IDEALTAG") SELECT $1 WHERE (SELECT v FROM ok) AND NOT (SELECT v FROM listed)),
ins AS (INSERT INTO "Template" ("IDEALTAG", "STUHL", "BEH", "STARTZEIT", "ENDZEIT")
    SELECT $1, r.s, r.b, r.st, r.e FROM unnest($12, $13, $14, $15) WITH ORDINALITY AS r(s, b, st, e, n)
    WHERE (SELECT v FROM ok) ORDER BY r.n RETURNING "ID")
SELECT 0, "ID", NULL::text, NULL::text, NULL::text, NULL::text FROM ins
UNION ALL SELECT 1, "ID", "STUHL", "BEH", "STARTZEIT", "ENDZEIT" FROM cur
    WHERE (SELECT v FROM ok) AND "ID" NOT IN (SELECT "ID" FROM removed)
UNION ALL SELECT 2, "ID", "STUHL", "BEH", "STARTZEIT", "ENDZEIT" FROM cur
    WHERE NOT (SELECT v FROM ok) AND (SELECT v FROM intime)
UNION ALL SELECT 3, CAST((SELECT v FROM listed) AS integer)::bigint, NULL, NULL, NULL, NULL
    WHERE NOT (SELECT v FROM ok) AND (SELECT v FROM intime)
UNION ALL SELECT 4, NULL, NULL, NULL, NULL, NULL WHERE (SELECT v FROM ok)
UNION ALL SELECT 5, floor(extract(epoch FROM jetzt) * 1000)::bigint, NULL, NULL, NULL, NULL FROM intime WHERE NOT v
$f$;
-- Ende des Speicherns

-- Lunaris' eigene Tabelle: die Werte der Praxis (Öffnungszeiten, Slot, Arbeitstage, Name und Adresse,
-- Farben der Behandlungen), an allen Arbeitsplätzen dieselben; jede Änderung meldet sich bei allen.
CREATE TABLE IF NOT EXISTS "LunarisPraxis" ("BEREICH" text NOT NULL, "SCHLUESSEL" text NOT NULL,
    "WERT" text NOT NULL, PRIMARY KEY ("BEREICH", "SCHLUESSEL"));
CREATE OR REPLACE FUNCTION lunaris_praxis_aenderung() RETURNS trigger LANGUAGE plpgsql
    AS $f$ BEGIN PERFORM pg_notify('lunaris_aenderung', TG_TABLE_NAME); RETURN NULL; END $f$;
CREATE OR REPLACE TRIGGER lunaris_praxis_aenderung AFTER INSERT OR UPDATE OR DELETE OR TRUNCATE ON "LunarisPraxis"
    FOR EACH STATEMENT EXECUTE FUNCTION lunaris_praxis_aenderung();
REVOKE ALL ON "LunarisPraxis" FROM PUBLIC;
GRANT SELECT, INSERT, UPDATE, DELETE ON "LunarisPraxis" TO lunaris;
GRANT SELECT ON "LunarisPraxis" TO lunaris_lesen;

-- Die Rechte: lunaris liest und schreibt genau diese fünf Tabellen, lunaris_lesen liest sie nur.
REVOKE ALL ON "Template", "Idealtag", "Behand", "Stuhl", "IdealtagVersion" FROM PUBLIC;
GRANT SELECT, INSERT, UPDATE, DELETE ON "Template", "Idealtag", "Behand", "Stuhl", "IdealtagVersion" TO lunaris;
GRANT SELECT ON "Template", "Idealtag", "Behand", "Stuhl", "IdealtagVersion" TO lunaris_lesen;

COMMIT;
