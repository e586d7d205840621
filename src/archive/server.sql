-- SPDX-License-Identifier: GPL-3.0-or-later
-- The department's Velantis archive on PostgreSQL (13 or later).
--
-- Run by the database's owner or a superuser, into a database made for it (UTF-8, with a
-- language's LC_CTYPE such as C.UTF-8 or zh_CN.UTF-8):
--
--     createdb -E UTF8 --locale=C.UTF-8 -T template0 velantis
--     psql -d velantis -f server.sql
--
-- It may be run again: what is there already is kept, the rights and rules are set anew. The
-- program never creates databases or roles itself. It makes two roles, given to people's login
-- roles by the administrator:
--
--     velantis_tester  sends tests, reads every test, edits the information of its own tests;
--                      never deletes
--     velantis_admin   all of that and deleting tests
--
--     CREATE ROLE zhang LOGIN PASSWORD '...' IN ROLE velantis_tester;

\set ON_ERROR_STOP on

BEGIN;

-- pg_trgm splits text into trigrams by the database's LC_CTYPE: under the C ctype it finds no
-- letters in Chinese text, and a filter on a Chinese station name would find nothing.
DO $$
DECLARE
    enc text;
    ctype text;
BEGIN
    SELECT pg_encoding_to_char(encoding), datctype INTO enc, ctype
        FROM pg_database WHERE datname = current_database();
    IF enc <> 'UTF8' THEN
        RAISE EXCEPTION 'Velantis needs a UTF-8 database; % is %', current_database(), enc
            USING HINT = 'createdb -E UTF8 --locale=C.UTF-8 -T template0 velantis';
    END IF;
    IF ctype IN ('C', 'POSIX') THEN
        RAISE EXCEPTION 'Velantis needs a database whose LC_CTYPE knows Chinese letters (C.UTF-8, zh_CN.UTF-8); % has %', current_database(), ctype
            USING HINT = 'createdb -E UTF8 --locale=C.UTF-8 -T template0 velantis';
    END IF;
END
$$;

CREATE EXTENSION IF NOT EXISTS pg_trgm;

DO $$
BEGIN
    IF NOT EXISTS (SELECT FROM pg_roles WHERE rolname = 'velantis_tester') THEN
        CREATE ROLE velantis_tester NOLOGIN;
    END IF;
    IF NOT EXISTS (SELECT FROM pg_roles WHERE rolname = 'velantis_admin') THEN
        CREATE ROLE velantis_admin NOLOGIN;
    END IF;
END
$$;

-- The schema's version: a program that knows an earlier one only browses.
CREATE TABLE IF NOT EXISTS velantis_schema (
    version integer NOT NULL
);
INSERT INTO velantis_schema (version)
    SELECT 1 WHERE NOT EXISTS (SELECT FROM velantis_schema);

-- One row per test: where and by whom it was made, its download, its test information (the
-- names of the record database's columns), its verdict counts and its revision.
CREATE TABLE IF NOT EXISTS tests (
    uuid uuid PRIMARY KEY,
    origin_pc text NOT NULL DEFAULT '',
    origin_user text NOT NULL DEFAULT '',
    started timestamptz NOT NULL,
    ended timestamptz NOT NULL,
    port text NOT NULL DEFAULT '',
    ending text NOT NULL,
    announced integer NOT NULL,
    stored integer NOT NULL,
    download text NOT NULL DEFAULT '',
    first_group integer NOT NULL DEFAULT 0,
    last_group integer NOT NULL DEFAULT 0,
    station text NOT NULL DEFAULT '',
    device text NOT NULL DEFAULT '',
    serial text NOT NULL DEFAULT '',
    rated_ratio text NOT NULL DEFAULT '',
    class text NOT NULL DEFAULT '',
    tester text NOT NULL DEFAULT '',
    reviewer text NOT NULL DEFAULT '',
    test_date text NOT NULL DEFAULT '',
    remarks text NOT NULL DEFAULT '',
    organisation text NOT NULL DEFAULT '',
    logo bytea NOT NULL DEFAULT '',
    maker text NOT NULL DEFAULT '',
    type text NOT NULL DEFAULT '',
    phase text NOT NULL DEFAULT '',
    core text NOT NULL DEFAULT '',
    rated_burden text NOT NULL DEFAULT '',
    test_burden text NOT NULL DEFAULT '',
    standard text NOT NULL DEFAULT '',
    temperature text NOT NULL DEFAULT '',
    humidity text NOT NULL DEFAULT '',
    set_serial text NOT NULL DEFAULT '',
    set_calibration text NOT NULL DEFAULT '',
    report_prefix text NOT NULL DEFAULT '',
    guard_band integer NOT NULL DEFAULT 0,
    pass integer NOT NULL DEFAULT 0,
    fail integer NOT NULL DEFAULT 0,
    undecided integer NOT NULL DEFAULT 0,
    revision integer NOT NULL DEFAULT 1,
    edited timestamptz,
    version text NOT NULL DEFAULT '',
    superseded boolean NOT NULL DEFAULT false,
    -- The role that sent the test, set by the server: the rules below decide by it, never by
    -- the origin user the PC names.
    owner name NOT NULL DEFAULT current_user
);

-- Each group's 20-byte frame as the instrument sent it.
CREATE TABLE IF NOT EXISTS groups (
    test uuid NOT NULL REFERENCES tests (uuid) ON DELETE CASCADE,
    group_no integer NOT NULL CHECK (group_no BETWEEN 0 AND 4000),
    frame bytea NOT NULL CHECK (length(frame) = 20),
    PRIMARY KEY (test, group_no)
);

-- The server view pages newest first; the filter looks for text inside the station, equipment,
-- serial and remarks.
CREATE INDEX IF NOT EXISTS tests_page ON tests (started DESC, uuid DESC) WHERE NOT superseded;
CREATE INDEX IF NOT EXISTS tests_text ON tests USING gin (
    station gin_trgm_ops, device gin_trgm_ops, serial gin_trgm_ops, remarks gin_trgm_ops);

-- The server view reads through a view of the schema's owner. It shows what the read policy
-- below shows (every test), but the planner may use the table's statistics for the filter, which
-- row-level security hides from a tester's own query: without them a filter met in a fifth of a
-- million tests is read whole and sorted (a second) instead of taken from the newest (milliseconds).
CREATE OR REPLACE VIEW tests_browse AS SELECT * FROM tests;

-- The rights: testers read and send, and edit only what an edit of the test information
-- changes; the owner column stays the server's.
REVOKE ALL ON velantis_schema, tests, groups, tests_browse FROM PUBLIC;
REVOKE ALL ON velantis_schema, tests, groups, tests_browse FROM velantis_tester, velantis_admin;
GRANT SELECT ON velantis_schema, tests_browse TO velantis_tester, velantis_admin;
GRANT SELECT, INSERT ON tests, groups TO velantis_tester;
GRANT UPDATE (station, device, serial, rated_ratio, class, tester, reviewer, test_date, remarks,
              organisation, logo, maker, type, phase, core, rated_burden, test_burden, standard,
              temperature, humidity, set_serial, set_calibration, report_prefix, guard_band,
              pass, fail, undecided, revision, edited, superseded)
    ON tests TO velantis_tester;
GRANT velantis_tester TO velantis_admin;
GRANT DELETE ON tests, groups TO velantis_admin;

-- Row-level security: everyone reads every test; a role sends tests only as itself and edits
-- only the tests it sent; only the administrators delete.
ALTER TABLE tests ENABLE ROW LEVEL SECURITY;
ALTER TABLE groups ENABLE ROW LEVEL SECURITY;

DROP POLICY IF EXISTS tests_read ON tests;
DROP POLICY IF EXISTS tests_send ON tests;
DROP POLICY IF EXISTS tests_edit ON tests;
DROP POLICY IF EXISTS tests_delete ON tests;
CREATE POLICY tests_read ON tests FOR SELECT USING (true);
CREATE POLICY tests_send ON tests FOR INSERT WITH CHECK (owner = current_user);
CREATE POLICY tests_edit ON tests FOR UPDATE
    USING (owner = current_user) WITH CHECK (owner = current_user);
CREATE POLICY tests_delete ON tests FOR DELETE TO velantis_admin USING (true);

DROP POLICY IF EXISTS groups_read ON groups;
DROP POLICY IF EXISTS groups_send ON groups;
DROP POLICY IF EXISTS groups_delete ON groups;
CREATE POLICY groups_read ON groups FOR SELECT USING (true);
CREATE POLICY groups_send ON groups FOR INSERT WITH CHECK (
    EXISTS (SELECT FROM tests WHERE tests.uuid = groups.test AND tests.owner = current_user));
CREATE POLICY groups_delete ON groups FOR DELETE TO velantis_admin USING (true);

COMMIT;
