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
