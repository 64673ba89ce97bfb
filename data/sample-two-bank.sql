-- A small plant in the old two-bank layout, for trying the migration: applied to a copy
-- of the blank database, it removes the bank-3 and specific-flux columns, marks the file
-- as version 1.2.7 and adds one two-bank project train with ninety daily readings.
ALTER TABLE ProjectInfo DROP COLUMN ElementType_3;
ALTER TABLE ProjectInfo DROP COLUMN NumElementsBank_3;
ALTER TABLE ProjectInfo DROP COLUMN ElementsPerVessel_3;
ALTER TABLE ProjectInfo DROP COLUMN NumVessels_3;
ALTER TABLE ProjectInfo DROP COLUMN AreaBank_3;
ALTER TABLE ProjectInfo DROP COLUMN Permflow_3;
ALTER TABLE ProjectInfo DROP COLUMN PermuS_3;
ALTER TABLE ProjectInfo DROP COLUMN FeedPressure_3;
ALTER TABLE ProjectInfo DROP COLUMN ConcPressure_2;
ALTER TABLE ProjectInfo DROP COLUMN PermbackPress_3;
ALTER TABLE ProjectInfo DROP COLUMN DeltaPress_3;
ALTER TABLE Data DROP COLUMN Permflow_3;
ALTER TABLE Data DROP COLUMN PermuS_3;
ALTER TABLE Data DROP COLUMN FeedPressure_3;
ALTER TABLE Data DROP COLUMN ConcPressure_2;
ALTER TABLE Data DROP COLUMN PermbackPress_3;
ALTER TABLE Data DROP COLUMN ActualFlux_3;
ALTER TABLE Data DROP COLUMN NormalizedPermFlow_3;
ALTER TABLE Data DROP COLUMN NormalizedSaltPassage_3;
ALTER TABLE Data DROP COLUMN NormalizedDP_3;
ALTER TABLE Data DROP COLUMN B3DP;
ALTER TABLE Data DROP COLUMN B3Recovery;
ALTER TABLE Data DROP COLUMN SpecFlux;
ALTER TABLE Data DROP COLUMN SpecFlux_1;
ALTER TABLE Data DROP COLUMN SpecFlux_2;
ALTER TABLE Data DROP COLUMN SpecFlux_3;
ALTER TABLE InputOrder DROP COLUMN PermFlow_3;
ALTER TABLE InputOrder DROP COLUMN PermuS_3;
ALTER TABLE InputOrder DROP COLUMN FeedPressure_3;
ALTER TABLE InputOrder DROP COLUMN PermBackPress_3;
ALTER TABLE InputOrder DROP COLUMN ConcPressure_2;
DELETE FROM GraphSensors WHERE ColumnHeader IN ('Permflow_3', 'PermuS_3', 'FeedPressure_3', 'ConcPressure_2',
  'PermbackPress_3', 'ActualFlux_3', 'NormalizedPermFlow_3', 'NormalizedSaltPassage_3', 'NormalizedDP_3', 'B3DP',
  'B3Recovery', 'SpecFlux', 'SpecFlux_1', 'SpecFlux_2', 'SpecFlux_3');
DELETE FROM Version;
INSERT INTO Version (Version, Notes) VALUES ('1.2.7', 'Sample two-bank database');

INSERT INTO ProjectInfo (DateReference, ProjectID, NumBanks, TrainNumber, NumTrains, TrainsSame, Description,
  DefaultUnits, CapacityM3D, Systemdata, unitFlow, unitTemp, unitPress, unitFlux, ElapsedTimeRef, FeedTemp,
  FeeduS, PermuS, ConcuS, FeedFlow, ConcFlow, PermFlow, OverallRecovery, FeedPressure, ConcPressure, DeltaPress,
  PermBackPress, ElementType, NumElementsBank, AreaBank, uStoPPM, uStoPI_Feed, uStoPI_Perm, AvgConc, Density,
  refph, numVessels, ElementsPerVessel, ElementType_1, NumElementsBank_1, ElementsPerVessel_1, AreaBank_1,
  numVessels_1, ElementType_2, NumElementsBank_2, ElementsPerVessel_2, AreaBank_2, numVessels_2, PermFlow_1,
  PermuS_1, PermBackPress_1, DeltaPress_1, PermFlow_2, PermuS_2, FeedPressure_2, PermBackPress_2, DeltaPress_2,
  ConcPressure_1)
VALUES ('2020-01-01 00:00:00', 'Sample Plant', 2, 1, 1, 0, 'Two-bank sample for the migration', 0, 1440, -1,
  13, 1, 8, 1, 0, 20, 1500, 30, 5910, 80, 20, 60, 0.75, 12, 9.8, 2.2, 0.5, 2, 54, 2008.8, 0.5, 0.1, 0.1, 3705, 1,
  7.2, 9, 6, 2, 36, 6, 1339.2, 6, 2, 18, 6, 669.6, 3, 40, 22.5, 0, 1.2, 20, 45, 10.8, 0.5, 1.0, 10.8);

-- Daily readings drifting from the reference state: flow slowly falling, temperature
-- and salt passage moving with the season, a cleaning on day 60.
WITH RECURSIVE day(n) AS (SELECT 1 UNION ALL SELECT n + 1 FROM day WHERE n < 90)
INSERT INTO Data (TheDate, PermFlow, ConcFlow, FeedPressure, ConcPressure, ConcPressure_1, PermBackPress, FeeduS,
  PermuS, pH, Temperature, PermFlow_2, PermuS_1, PermuS_2, FeedPressure_2, PermBackPress_2, TurbidityFeed,
  TurbidityRaw, ORP, SDIFeed, SDIRaw, ProjectID, TrainNumber, ElapsedTimeHrs, FeedFlow, PermFlow_1,
  PermBackPress_1, Bank, EventID, Note1)
SELECT strftime('%Y-%m-%d %H:%M:%S', '2020-01-01', '+' || n || ' days', '+8 hours'),
  60 - (n % 60) * 0.05, 20, 12 + (n % 60) * 0.01, 9.8, 10.8, 0.5, 1500 + (n % 7) * 10,
  30 + (n % 30) * 0.1, 7.2, 18 + (n % 10) * 0.4, 20 - (n % 60) * 0.02, 22.5 + (n % 30) * 0.05, 45, 10.8, 0.5,
  0.1, 1.5, 250, 2.5, 4.5, 'Sample Plant', 1, n * 24 + 8, 80 - (n % 60) * 0.05, 40 - (n % 60) * 0.03, 0, 2,
  CASE WHEN n = 60 THEN 1 ELSE 0 END, ' '
FROM day;
