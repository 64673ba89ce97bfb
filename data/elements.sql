-- Element database: our own catalogue of membrane elements. The models and
-- coefficients below are values of this program's own catalogue, not any
-- maker's data sheet.
--
-- Coefficients of a catalogue element (Custom 0), as the normalization uses them:
--   SE            active membrane area of one element, m2
--   TA(<=25/>25)  flow temperature exponent per deg C: the flow correction is
--                 exp((T-25) * TA) * mu(25)/mu(T), which with the water viscosity
--                 behaves like exp(K * (1/298 - 1/(273+T))) with K about 2700-2900
--   TB(<=25/>25)  salt-passage temperature exponent per deg C: exp((T-25) * TB)
--   DP3 + DP4     exponent of the flow ratio in the DP normalization (1.45-1.65)
--   DP1           pressure-drop constant of one element: psi at an average
--                 feed-side flow of 1 gpm (informative; not used by the normalization)
--   DP2           not used (0)
-- Custom elements (Custom -1) are added by the user; for them TA and TB are the
-- K of the exp(K * (1/298 - 1/(273+T))) form and DP3 alone is the exponent.

CREATE TABLE Version (
  ID INTEGER PRIMARY KEY,
  DBVersion REAL
);

CREATE TABLE ElementSpecs (
  ID INTEGER PRIMARY KEY,
  Model TEXT NOT NULL COLLATE NOCASE,
  SE REAL,
  "TA(<=25)" REAL,
  "TA(>25)" REAL,
  "TB(<=25)" REAL,
  "TB(>25)" REAL,
  Custom INTEGER DEFAULT 0,
  DP1 REAL DEFAULT 0,
  DP2 REAL DEFAULT 0,
  DP3 REAL DEFAULT 1.4,
  DP4 REAL DEFAULT 0
);
-- The custom-element editor relies on model names being unique.
CREATE UNIQUE INDEX ElementSpecs_Model ON ElementSpecs (Model);

INSERT INTO Version (DBVersion) VALUES (2539);

-- Brackish water
INSERT INTO ElementSpecs (ID, Model, SE, "TA(<=25)", "TA(>25)", "TB(<=25)", "TB(>25)", Custom, DP1, DP2, DP3, DP4)
  VALUES (1, 'HV-BW 4040-85', 7.9, 0.0100, 0.0090, 0.030, 0.028, 0, 0.0791, 0, 1.45, 0.05);
INSERT INTO ElementSpecs (ID, Model, SE, "TA(<=25)", "TA(>25)", "TB(<=25)", "TB(>25)", Custom, DP1, DP2, DP3, DP4)
  VALUES (2, 'HV-BW 8040-365', 33.9, 0.0100, 0.0090, 0.030, 0.028, 0, 0.0128, 0, 1.45, 0.05);
INSERT INTO ElementSpecs (ID, Model, SE, "TA(<=25)", "TA(>25)", "TB(<=25)", "TB(>25)", Custom, DP1, DP2, DP3, DP4)
  VALUES (3, 'HV-BW 8040-400', 37.2, 0.0100, 0.0090, 0.030, 0.028, 0, 0.0119, 0, 1.45, 0.05);
INSERT INTO ElementSpecs (ID, Model, SE, "TA(<=25)", "TA(>25)", "TB(<=25)", "TB(>25)", Custom, DP1, DP2, DP3, DP4)
  VALUES (4, 'HV-BW 8040-440', 40.9, 0.0100, 0.0090, 0.030, 0.028, 0, 0.0098, 0, 1.50, 0.05);
-- Low-energy and fouling-resistant brackish water
INSERT INTO ElementSpecs (ID, Model, SE, "TA(<=25)", "TA(>25)", "TB(<=25)", "TB(>25)", Custom, DP1, DP2, DP3, DP4)
  VALUES (5, 'HV-LE 8040-400', 37.2, 0.0110, 0.0100, 0.034, 0.032, 0, 0.0119, 0, 1.45, 0.05);
INSERT INTO ElementSpecs (ID, Model, SE, "TA(<=25)", "TA(>25)", "TB(<=25)", "TB(>25)", Custom, DP1, DP2, DP3, DP4)
  VALUES (6, 'HV-FR 8040-400', 37.2, 0.0105, 0.0095, 0.030, 0.028, 0, 0.0071, 0, 1.50, 0.10);
-- Seawater
INSERT INTO ElementSpecs (ID, Model, SE, "TA(<=25)", "TA(>25)", "TB(<=25)", "TB(>25)", Custom, DP1, DP2, DP3, DP4)
  VALUES (7, 'HV-SW 4040-80', 7.4, 0.0090, 0.0080, 0.032, 0.030, 0, 0.1157, 0, 1.40, 0.05);
INSERT INTO ElementSpecs (ID, Model, SE, "TA(<=25)", "TA(>25)", "TB(<=25)", "TB(>25)", Custom, DP1, DP2, DP3, DP4)
  VALUES (8, 'HV-SW 8040-380', 35.3, 0.0090, 0.0080, 0.032, 0.030, 0, 0.0177, 0, 1.40, 0.05);
INSERT INTO ElementSpecs (ID, Model, SE, "TA(<=25)", "TA(>25)", "TB(<=25)", "TB(>25)", Custom, DP1, DP2, DP3, DP4)
  VALUES (9, 'HV-SW 8040-440', 40.9, 0.0090, 0.0080, 0.032, 0.030, 0, 0.0145, 0, 1.45, 0.05);
-- Nanofiltration
INSERT INTO ElementSpecs (ID, Model, SE, "TA(<=25)", "TA(>25)", "TB(<=25)", "TB(>25)", Custom, DP1, DP2, DP3, DP4)
  VALUES (10, 'HV-NF 4040-90', 8.4, 0.0095, 0.0085, 0.024, 0.022, 0, 0.0537, 0, 1.55, 0.10);
INSERT INTO ElementSpecs (ID, Model, SE, "TA(<=25)", "TA(>25)", "TB(<=25)", "TB(>25)", Custom, DP1, DP2, DP3, DP4)
  VALUES (11, 'HV-NF 8040-400', 37.2, 0.0095, 0.0085, 0.024, 0.022, 0, 0.0064, 0, 1.55, 0.10);
INSERT INTO ElementSpecs (ID, Model, SE, "TA(<=25)", "TA(>25)", "TB(<=25)", "TB(>25)", Custom, DP1, DP2, DP3, DP4)
  VALUES (12, 'HV-NF 8040-440', 40.9, 0.0095, 0.0085, 0.024, 0.022, 0, 0.0062, 0, 1.55, 0.10);
