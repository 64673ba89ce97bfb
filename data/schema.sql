-- Blank three-bank project database, version 1.3.38.
--
-- Conventions (every table):
--   * an integer primary key ID; where a table is read by position (InputOrder)
--     it stands after the positional columns; the IDs of Version, Data and
--     UserGraphs are autonumbers and never handed out twice (AUTOINCREMENT);
--   * text keys and names compare regardless of case (COLLATE NOCASE);
--   * dates are text "yyyy-mm-dd hh:mm:ss", so they sort and compare as text;
--   * Yes/No columns are INTEGER -1 (yes) / 0 (no);
--   * column names keep the spelling the program's statements mostly use; the
--     engine compares names regardless of case.

-- Version history: the row with the highest ID is the database's version.
CREATE TABLE Version (
  ID INTEGER PRIMARY KEY AUTOINCREMENT,
  Version TEXT,
  Notes TEXT
);

-- One row per project train: layout, units, elements and the reference state.
-- Columns 1 to 69 in the order of the insert that creates a project, then the
-- six columns only the record editor and the exchange file touch.
CREATE TABLE ProjectInfo (
  ID INTEGER PRIMARY KEY,
  DateReference TEXT,
  ProjectID TEXT COLLATE NOCASE,
  NumBanks INTEGER,
  TrainNumber INTEGER,
  NumTrains INTEGER,
  TrainsSame INTEGER,
  Description TEXT,
  DefaultUnits INTEGER,
  CapacityM3D REAL,
  Systemdata INTEGER,
  unitFlow INTEGER,
  unitTemp INTEGER,
  unitPress INTEGER,
  unitFlux INTEGER,
  ElapsedTimeRef REAL,
  FeedTemp REAL,
  FeeduS REAL,
  PermuS REAL,
  ConcuS REAL,
  FeedFlow REAL,
  ConcFlow REAL,
  PermFlow REAL,
  OverallRecovery REAL,
  FeedPressure REAL,
  ConcPressure REAL,
  DeltaPress REAL,
  PermBackPress REAL,
  ElementType INTEGER,
  NumElementsBank INTEGER,
  AreaBank REAL,
  PermuS_1 REAL,
  PermuS_2 REAL,
  PermFlow_1 REAL,
  PermFlow_2 REAL,
  FeedPressure_2 REAL,
  PermBackPress_1 REAL,
  PermBackPress_2 REAL,
  ElementType_1 INTEGER,
  ElementType_2 INTEGER,
  NumElementsBank_1 INTEGER,
  NumElementsBank_2 INTEGER,
  AreaBank_1 REAL,
  AreaBank_2 REAL,
  DeltaPress_1 REAL,
  DeltaPress_2 REAL,
  uStoPPM REAL,
  uStoPI_Feed REAL,
  uStoPI_Perm REAL,
  AvgConc REAL,
  Density REAL,
  refph REAL,
  ConcPressure_1 REAL,
  numVessels INTEGER,
  numVessels_1 INTEGER,
  numVessels_2 INTEGER,
  ElementsPerVessel INTEGER,
  ElementsPerVessel_1 INTEGER,
  ElementsPerVessel_2 INTEGER,
  ElementType_3 INTEGER,
  NumElementsBank_3 INTEGER,
  ElementsPerVessel_3 INTEGER,
  NumVessels_3 INTEGER,
  AreaBank_3 REAL,
  Permflow_3 REAL,
  PermuS_3 REAL,
  FeedPressure_3 REAL,
  ConcPressure_2 REAL,
  PermbackPress_3 REAL,
  DeltaPress_3 REAL,
  Notes1 TEXT,
  FeedType INTEGER,
  Country TEXT,
  dataExists INTEGER,
  DateInstallation TEXT,
  DateStartUp TEXT
);
-- A project train is one row: a second row of the same key would make every
-- lookup, recalculation and deletion ambiguous.
CREATE UNIQUE INDEX ProjectInfo_Key ON ProjectInfo (ProjectID, TrainNumber);

-- One row per reading: the raw values in the order of the reading insert, then
-- the columns the normalization writes. The calculated columns and ConcuS
-- default to 0 so that a reading saved with its raw values alone normalizes.
CREATE TABLE Data (
  ID INTEGER PRIMARY KEY AUTOINCREMENT,
  TheDate TEXT,
  PermFlow REAL,
  ConcFlow REAL,
  FeedPressure REAL,
  ConcPressure REAL,
  ConcPressure_1 REAL,
  PermBackPress REAL,
  FeeduS REAL,
  PermuS REAL,
  pH REAL,
  Temperature REAL,
  PermFlow_2 REAL,
  PermuS_1 REAL,
  PermuS_2 REAL,
  FeedPressure_2 REAL,
  PermBackPress_2 REAL,
  TurbidityFeed REAL,
  TurbidityRaw REAL,
  ORP REAL,
  SDIFeed REAL,
  SDIRaw REAL,
  ProjectID TEXT COLLATE NOCASE,
  TrainNumber INTEGER,
  ElapsedTimeHrs REAL,
  FeedFlow REAL,
  PermFlow_1 REAL,
  PermBackPress_1 REAL,
  Bank INTEGER,
  Permflow_3 REAL,
  PermuS_3 REAL,
  FeedPressure_3 REAL,
  ConcPressure_2 REAL,
  PermbackPress_3 REAL,
  EventID INTEGER,
  Note1 TEXT,
  ActualFlux REAL DEFAULT 0,
  ActualFlux_1 REAL DEFAULT 0,
  ActualFlux_2 REAL DEFAULT 0,
  ActualFlux_3 REAL DEFAULT 0,
  NormalizedFlux REAL DEFAULT 0,
  NormalizedPermFlow REAL DEFAULT 0,
  NormalizedPermFlow_1 REAL DEFAULT 0,
  NormalizedPermFlow_2 REAL DEFAULT 0,
  NormalizedPermFlow_3 REAL DEFAULT 0,
  NormalizedSaltPassage REAL DEFAULT 0,
  NormalizedSaltPassage_1 REAL DEFAULT 0,
  NormalizedSaltPassage_2 REAL DEFAULT 0,
  NormalizedSaltPassage_3 REAL DEFAULT 0,
  ActualRejection REAL DEFAULT 0,
  SystemDP REAL DEFAULT 0,
  B1DP REAL DEFAULT 0,
  B2DP REAL DEFAULT 0,
  B3DP REAL DEFAULT 0,
  B1Recovery REAL DEFAULT 0,
  B2Recovery REAL DEFAULT 0,
  B3Recovery REAL DEFAULT 0,
  NetTMP REAL DEFAULT 0,
  NormalizedDP REAL DEFAULT 0,
  NormalizedDP_1 REAL DEFAULT 0,
  NormalizedDP_2 REAL DEFAULT 0,
  NormalizedDP_3 REAL DEFAULT 0,
  SystemRecovery REAL DEFAULT 0,
  ConcuS REAL DEFAULT 0,
  SpecFlux REAL DEFAULT 0,
  SpecFlux_1 REAL DEFAULT 0,
  SpecFlux_2 REAL DEFAULT 0,
  SpecFlux_3 REAL DEFAULT 0
);
-- Readings are fetched per project and train, in date order.
CREATE INDEX Data_ProjectTrainDate ON Data (ProjectID, TrainNumber, TheDate);

-- Catalogue of the graphable Data columns; 'ALL' means every project.
CREATE TABLE GraphSensors (
  ID INTEGER PRIMARY KEY,
  ProjectID TEXT COLLATE NOCASE,
  TrainNumber INTEGER,
  Bank INTEGER,
  Description TEXT COLLATE NOCASE,
  ColumnHeader TEXT COLLATE NOCASE,
  "Order" INTEGER
);
CREATE INDEX GraphSensors_Project ON GraphSensors (ProjectID, "Order");

-- Saved graph definitions. Several rows may share a name.
CREATE TABLE UserGraphs (
  ProjectID TEXT COLLATE NOCASE,
  TrainNumber INTEGER,
  GraphName TEXT COLLATE NOCASE,
  StartDate TEXT,
  EndDate TEXT,
  S1Name TEXT,
  S2Name TEXT,
  S3Name TEXT,
  S4Name TEXT,
  SensorCount INTEGER,
  Target REAL,
  YMax REAL,
  Y2Max REAL,
  YMin REAL,
  Y2Min REAL,
  S1LineStyle INTEGER,
  S2LineStyle INTEGER,
  S3LineStyle INTEGER,
  S4LineStyle INTEGER,
  S1LineColor INTEGER,
  S2LineColor INTEGER,
  S3LineColor INTEGER,
  S4LineColor INTEGER,
  S1SymbolStyle INTEGER,
  S2SymbolStyle INTEGER,
  S3SymbolStyle INTEGER,
  S4SymbolStyle INTEGER,
  S1SymbolColor INTEGER,
  S2SymbolColor INTEGER,
  S3SymbolColor INTEGER,
  S4SymbolColor INTEGER,
  LineSize INTEGER,
  SymbolSize INTEGER,
  Header TEXT,
  ID INTEGER PRIMARY KEY AUTOINCREMENT
);
CREATE INDEX UserGraphs_ProjectTrainName ON UserGraphs (ProjectID, TrainNumber, GraphName);

-- Input row order per project train. The 25 item columns are read and written
-- by position (column k holds the item shown in input row k); their names only
-- label the positions. ID therefore stands after them.
CREATE TABLE InputOrder (
  TheDate INTEGER,
  PermFlow INTEGER,
  ConcFlow INTEGER,
  FeedPressure INTEGER,
  ConcPressure INTEGER,
  PermBackPress INTEGER,
  FeeduS INTEGER,
  PermuS INTEGER,
  Temperature INTEGER,
  pH INTEGER,
  PermFlow_2 INTEGER,
  PermuS_2 INTEGER,
  FeedPressure_2 INTEGER,
  PermBackPress_2 INTEGER,
  ConcPressure_1 INTEGER,
  TurbidityFeed INTEGER,
  TurbidityRaw INTEGER,
  ORP INTEGER,
  SDIFeed INTEGER,
  SDIRaw INTEGER,
  PermFlow_3 INTEGER,
  PermuS_3 INTEGER,
  FeedPressure_3 INTEGER,
  PermBackPress_3 INTEGER,
  ConcPressure_2 INTEGER,
  ProjectID TEXT COLLATE NOCASE,
  TrainNumber INTEGER,
  ID INTEGER PRIMARY KEY
);
CREATE UNIQUE INDEX InputOrder_Key ON InputOrder (ProjectID, TrainNumber);

-- DDE source and flags of each input row of the data collection window,
-- one row per project, train and item.
CREATE TABLE Scada (
  ID INTEGER PRIMARY KEY,
  ProjectID TEXT COLLATE NOCASE,
  TrainNumber INTEGER,
  FieldValue TEXT COLLATE NOCASE,
  UseScada INTEGER,
  Application TEXT,
  Topic TEXT,
  Item TEXT,
  Required INTEGER,
  UseDefaultValues INTEGER,
  Hide INTEGER
);
CREATE INDEX Scada_ProjectTrain ON Scada (ProjectID, TrainNumber);

-- Spreadsheet cell links of each input row of the spreadsheet import.
CREATE TABLE ScadaImport (
  ID INTEGER PRIMARY KEY,
  ProjectID TEXT COLLATE NOCASE,
  TrainNumber INTEGER,
  FieldValue TEXT COLLATE NOCASE,
  UseScada INTEGER,
  Application TEXT,
  Topic TEXT,
  Item TEXT,
  Required INTEGER,
  UseDefaultValues INTEGER
);
CREATE INDEX ScadaImport_ProjectTrain ON ScadaImport (ProjectID, TrainNumber);

-- Event types. 0 to 5 are built in; user types have IDs above 5. Readings and
-- graph labels refer to a type by EventID, so an EventID names one type only.
CREATE TABLE Events (
  ID INTEGER PRIMARY KEY,
  EventID INTEGER NOT NULL,
  EventType TEXT
);
CREATE UNIQUE INDEX Events_EventID ON Events (EventID);

-- Captions and units of the five user-definable measurements, one row per
-- project; 'Default' is the template. A row created with its ProjectID alone
-- takes the defaults, so readers always find text in every column.
CREATE TABLE UserDefined (
  ProjectID TEXT COLLATE NOCASE,
  TurbidityRaw TEXT DEFAULT 'TurbidityRaw',
  TurbidityFeed TEXT DEFAULT 'TurbidityFeed',
  SDIRaw TEXT DEFAULT 'SDIRaw',
  SDIFeed TEXT DEFAULT 'SDIFeed',
  ORP TEXT DEFAULT 'ORP',
  UnitsTRaw TEXT DEFAULT 'NTU',
  UnitsTFeed TEXT DEFAULT 'NTU',
  UnitsSDIRaw TEXT DEFAULT '%/min',
  UnitsSDIFeed TEXT DEFAULT '%/min',
  UnitsORP TEXT DEFAULT 'mV',
  ID INTEGER PRIMARY KEY
);
CREATE UNIQUE INDEX UserDefined_Project ON UserDefined (ProjectID);

-- Default rows ---------------------------------------------------------------

INSERT INTO Version (Version, Notes) VALUES ('1.3.38', 'Blank database');

INSERT INTO GraphSensors (ProjectID, TrainNumber, Bank, Description, ColumnHeader, [Order]) VALUES ('ALL', 1, 1, 'System Normalized Flux', 'NormalizedFlux', 60);
INSERT INTO GraphSensors (ProjectID, TrainNumber, Bank, Description, ColumnHeader, [Order]) VALUES ('ALL', 1, 1, 'System Actual Flux', 'ActualFlux', 61);
INSERT INTO GraphSensors (ProjectID, TrainNumber, Bank, Description, ColumnHeader, [Order]) VALUES ('ALL', 1, 1, 'System Normalized DP', 'NormalizedDP', 3);
INSERT INTO GraphSensors (ProjectID, TrainNumber, Bank, Description, ColumnHeader, [Order]) VALUES ('ALL', 1, 1, 'System Normalized Permeate Flow', 'NormalizedPermFlow', 1);
INSERT INTO GraphSensors (ProjectID, TrainNumber, Bank, Description, ColumnHeader, [Order]) VALUES ('ALL', 1, 1, 'System Permeate Flow', 'PermFlow', 70);
INSERT INTO GraphSensors (ProjectID, TrainNumber, Bank, Description, ColumnHeader, [Order]) VALUES ('ALL', 1, 1, 'System Normalized Salt Passage', 'NormalizedSaltPassage', 2);
INSERT INTO GraphSensors (ProjectID, TrainNumber, Bank, Description, ColumnHeader, [Order]) VALUES ('ALL', 1, 1, 'Net Average TMP', 'NetTMP', 120);
INSERT INTO GraphSensors (ProjectID, TrainNumber, Bank, Description, ColumnHeader, [Order]) VALUES ('ALL', 1, 1, 'System Feed Flow', 'FeedFlow', 11);
INSERT INTO GraphSensors (ProjectID, TrainNumber, Bank, Description, ColumnHeader, [Order]) VALUES ('ALL', 1, 1, 'System Concentrate Flow', 'ConcFlow', 13);
INSERT INTO GraphSensors (ProjectID, TrainNumber, Bank, Description, ColumnHeader, [Order]) VALUES ('ALL', 1, 1, 'System Rejection', 'ActualRejection', 14);
INSERT INTO GraphSensors (ProjectID, TrainNumber, Bank, Description, ColumnHeader, [Order]) VALUES ('ALL', 1, 1, 'System DP', 'SystemDP', 15);
INSERT INTO GraphSensors (ProjectID, TrainNumber, Bank, Description, ColumnHeader, [Order]) VALUES ('ALL', 1, 1, 'Bank 1 Normalized Perm Flow', 'NormalizedPermFlow_1', 20);
INSERT INTO GraphSensors (ProjectID, TrainNumber, Bank, Description, ColumnHeader, [Order]) VALUES ('ALL', 1, 1, 'Bank 2 Normalized Perm Flow', 'NormalizedPermFlow_2', 30);
INSERT INTO GraphSensors (ProjectID, TrainNumber, Bank, Description, ColumnHeader, [Order]) VALUES ('ALL', 1, 1, 'System Temperature', 'Temperature', 10);
INSERT INTO GraphSensors (ProjectID, TrainNumber, Bank, Description, ColumnHeader, [Order]) VALUES ('ALL', 1, 1, 'Bank 1 Permeate Flow', 'PermFlow_1', 71);
INSERT INTO GraphSensors (ProjectID, TrainNumber, Bank, Description, ColumnHeader, [Order]) VALUES ('ALL', 1, 1, 'Bank 2 Permeate Flow', 'PermFlow_2', 72);
INSERT INTO GraphSensors (ProjectID, TrainNumber, Bank, Description, ColumnHeader, [Order]) VALUES ('ALL', 1, 1, 'Turbidity Raw Water', 'TurbidityRaw', 100);
INSERT INTO GraphSensors (ProjectID, TrainNumber, Bank, Description, ColumnHeader, [Order]) VALUES ('ALL', 1, 1, 'Turbidity Feed', 'TurbidityFeed', 101);
INSERT INTO GraphSensors (ProjectID, TrainNumber, Bank, Description, ColumnHeader, [Order]) VALUES ('ALL', 1, 1, 'Bank 1 Normalized DP', 'NormalizedDP_1', 22);
INSERT INTO GraphSensors (ProjectID, TrainNumber, Bank, Description, ColumnHeader, [Order]) VALUES ('ALL', 1, 1, 'Bank 2 Normalized DP', 'NormalizedDP_2', 32);
INSERT INTO GraphSensors (ProjectID, TrainNumber, Bank, Description, ColumnHeader, [Order]) VALUES ('ALL', 1, 1, 'System Feed Pressure', 'FeedPressure', 16);
INSERT INTO GraphSensors (ProjectID, TrainNumber, Bank, Description, ColumnHeader, [Order]) VALUES ('ALL', 1, 1, 'System Concentrate Pressure', 'ConcPressure', 17);
INSERT INTO GraphSensors (ProjectID, TrainNumber, Bank, Description, ColumnHeader, [Order]) VALUES ('ALL', 1, 1, 'Bank 1 DP', 'B1DP', 81);
INSERT INTO GraphSensors (ProjectID, TrainNumber, Bank, Description, ColumnHeader, [Order]) VALUES ('ALL', 1, 1, 'Bank 2 DP', 'B2DP', 82);
INSERT INTO GraphSensors (ProjectID, TrainNumber, Bank, Description, ColumnHeader, [Order]) VALUES ('ALL', 1, 1, 'System Recovery', 'SystemRecovery', 50);
INSERT INTO GraphSensors (ProjectID, TrainNumber, Bank, Description, ColumnHeader, [Order]) VALUES ('ALL', 1, 1, 'Bank 1 Flux', 'ActualFlux_1', 62);
INSERT INTO GraphSensors (ProjectID, TrainNumber, Bank, Description, ColumnHeader, [Order]) VALUES ('ALL', 1, 1, 'Bank 2 Flux', 'ActualFlux_2', 63);
INSERT INTO GraphSensors (ProjectID, TrainNumber, Bank, Description, ColumnHeader, [Order]) VALUES ('ALL', 1, 1, 'Bank 1 Recovery', 'B1Recovery', 51);
INSERT INTO GraphSensors (ProjectID, TrainNumber, Bank, Description, ColumnHeader, [Order]) VALUES ('ALL', 1, 1, 'Bank 2 Recovery', 'B2Recovery', 52);
INSERT INTO GraphSensors (ProjectID, TrainNumber, Bank, Description, ColumnHeader, [Order]) VALUES ('ALL', 1, 1, 'Bank 1 Normalized Salt Passage', 'NormalizedSaltPassage_1', 21);
INSERT INTO GraphSensors (ProjectID, TrainNumber, Bank, Description, ColumnHeader, [Order]) VALUES ('ALL', 1, 1, 'Bank 2 Normalized Salt Passage', 'NormalizedSaltPassage_2', 31);
INSERT INTO GraphSensors (ProjectID, TrainNumber, Bank, Description, ColumnHeader, [Order]) VALUES ('ALL', 1, 1, 'System Permeate uS', 'PermuS', 5);
INSERT INTO GraphSensors (ProjectID, TrainNumber, Bank, Description, ColumnHeader, [Order]) VALUES ('ALL', 1, 1, 'Bank 1 Permeate uS', 'PermuS_1', 23);
INSERT INTO GraphSensors (ProjectID, TrainNumber, Bank, Description, ColumnHeader, [Order]) VALUES ('ALL', 1, 1, 'Bank 2 Permeate uS', 'PermuS_2', 33);
INSERT INTO GraphSensors (ProjectID, TrainNumber, Bank, Description, ColumnHeader, [Order]) VALUES ('ALL', 1, 1, 'System Feed uS', 'FeeduS', 12);
INSERT INTO GraphSensors (ProjectID, TrainNumber, Bank, Description, ColumnHeader, [Order]) VALUES ('ALL', 1, 1, 'pH', 'pH', 99);
INSERT INTO GraphSensors (ProjectID, TrainNumber, Bank, Description, ColumnHeader, [Order]) VALUES ('ALL', 1, 1, 'Bank 3 Normalized Perm Flow', 'NormalizedPermFlow_3', 40);
INSERT INTO GraphSensors (ProjectID, TrainNumber, Bank, Description, ColumnHeader, [Order]) VALUES ('ALL', 1, 1, 'Bank 3 Normalized Salt Passage', 'NormalizedSaltPassage_3', 41);
INSERT INTO GraphSensors (ProjectID, TrainNumber, Bank, Description, ColumnHeader, [Order]) VALUES ('ALL', 1, 1, 'Bank 3 Normalized DP', 'NormalizedDP_3', 42);
INSERT INTO GraphSensors (ProjectID, TrainNumber, Bank, Description, ColumnHeader, [Order]) VALUES ('ALL', 1, 1, 'Bank 3 DP', 'B3DP', 83);
INSERT INTO GraphSensors (ProjectID, TrainNumber, Bank, Description, ColumnHeader, [Order]) VALUES ('ALL', 1, 1, 'Bank 3 Flux', 'ActualFlux_3', 64);
INSERT INTO GraphSensors (ProjectID, TrainNumber, Bank, Description, ColumnHeader, [Order]) VALUES ('ALL', 1, 1, 'Bank 3 Permeate Flow', 'PermFlow_3', 73);
INSERT INTO GraphSensors (ProjectID, TrainNumber, Bank, Description, ColumnHeader, [Order]) VALUES ('ALL', 1, 1, 'Bank 3 Permeate uS', 'PermuS_3', 43);
INSERT INTO GraphSensors (ProjectID, TrainNumber, Bank, Description, ColumnHeader, [Order]) VALUES ('ALL', 1, 1, 'SDI Raw Water', 'SDIRaw', 102);
INSERT INTO GraphSensors (ProjectID, TrainNumber, Bank, Description, ColumnHeader, [Order]) VALUES ('ALL', 1, 1, 'SDI Feed', 'SDIFeed', 103);
INSERT INTO GraphSensors (ProjectID, TrainNumber, Bank, Description, ColumnHeader, [Order]) VALUES ('ALL', 1, 1, 'ORP Feed', 'ORP', 104);
INSERT INTO GraphSensors (ProjectID, TrainNumber, Bank, Description, ColumnHeader, [Order]) VALUES ('ALL', 1, 1, 'Bank 3 Recovery', 'B3Recovery', 53);
INSERT INTO GraphSensors (ProjectID, TrainNumber, Bank, Description, ColumnHeader, [Order]) VALUES ('ALL', 1, 1, 'System Specific Flux', 'SpecFlux', 66);
INSERT INTO GraphSensors (ProjectID, TrainNumber, Bank, Description, ColumnHeader, [Order]) VALUES ('ALL', 1, 1, 'Bank 1 Specific Flux', 'SpecFlux_1', 67);
INSERT INTO GraphSensors (ProjectID, TrainNumber, Bank, Description, ColumnHeader, [Order]) VALUES ('ALL', 1, 1, 'Bank 2 Specific Flux', 'SpecFlux_2', 68);
INSERT INTO GraphSensors (ProjectID, TrainNumber, Bank, Description, ColumnHeader, [Order]) VALUES ('ALL', 1, 1, 'Bank 3 Specific Flux', 'SpecFlux_3', 69);

-- The built-in event types, so that graph labels find their names too.
INSERT INTO Events (EventID, EventType) VALUES (0, 'None');
INSERT INTO Events (EventID, EventType) VALUES (1, 'System Cleaning');
INSERT INTO Events (EventID, EventType) VALUES (2, 'Instrument Calibration / Replacement');
INSERT INTO Events (EventID, EventType) VALUES (3, 'Pretreatment Event Occurred');
INSERT INTO Events (EventID, EventType) VALUES (4, 'Long Shutdown');
INSERT INTO Events (EventID, EventType) VALUES (5, 'Membrane Replacement');

INSERT INTO UserDefined (ProjectID, TurbidityRaw, TurbidityFeed, SDIRaw, SDIFeed, ORP, UnitsTRaw, UnitsTFeed, UnitsSDIRaw, UnitsSDIFeed, UnitsORP)
  VALUES ('Default', 'TurbidityRaw', 'TurbidityFeed', 'SDIRaw', 'SDIFeed', 'ORP', 'NTU', 'NTU', '%/min', '%/min', 'mV');

-- 'Default' input order for trains 1 to 4: row k shows item k.
INSERT INTO InputOrder (TheDate, PermFlow, ConcFlow, FeedPressure, ConcPressure, PermBackPress, FeeduS, PermuS, Temperature, pH, PermFlow_2, PermuS_2, FeedPressure_2, PermBackPress_2, ConcPressure_1, TurbidityFeed, TurbidityRaw, ORP, SDIFeed, SDIRaw, PermFlow_3, PermuS_3, FeedPressure_3, PermBackPress_3, ConcPressure_2, ProjectID, TrainNumber)
  VALUES (0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17, 18, 19, 20, 21, 22, 23, 24, 'Default', 1);
INSERT INTO InputOrder (TheDate, PermFlow, ConcFlow, FeedPressure, ConcPressure, PermBackPress, FeeduS, PermuS, Temperature, pH, PermFlow_2, PermuS_2, FeedPressure_2, PermBackPress_2, ConcPressure_1, TurbidityFeed, TurbidityRaw, ORP, SDIFeed, SDIRaw, PermFlow_3, PermuS_3, FeedPressure_3, PermBackPress_3, ConcPressure_2, ProjectID, TrainNumber)
  VALUES (0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17, 18, 19, 20, 21, 22, 23, 24, 'Default', 2);
INSERT INTO InputOrder (TheDate, PermFlow, ConcFlow, FeedPressure, ConcPressure, PermBackPress, FeeduS, PermuS, Temperature, pH, PermFlow_2, PermuS_2, FeedPressure_2, PermBackPress_2, ConcPressure_1, TurbidityFeed, TurbidityRaw, ORP, SDIFeed, SDIRaw, PermFlow_3, PermuS_3, FeedPressure_3, PermBackPress_3, ConcPressure_2, ProjectID, TrainNumber)
  VALUES (0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17, 18, 19, 20, 21, 22, 23, 24, 'Default', 3);
INSERT INTO InputOrder (TheDate, PermFlow, ConcFlow, FeedPressure, ConcPressure, PermBackPress, FeeduS, PermuS, Temperature, pH, PermFlow_2, PermuS_2, FeedPressure_2, PermBackPress_2, ConcPressure_1, TurbidityFeed, TurbidityRaw, ORP, SDIFeed, SDIRaw, PermFlow_3, PermuS_3, FeedPressure_3, PermBackPress_3, ConcPressure_2, ProjectID, TrainNumber)
  VALUES (0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17, 18, 19, 20, 21, 22, 23, 24, 'Default', 4);
