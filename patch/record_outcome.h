#pragma once
// What became of one record of a run, as the installer decides it and tells its record
// observer (TPatchFile::TRecordObserver). Tools count, log and word records by this value,
// never by the wording of the rows the record raised.

enum class TRecordOutcome {
  Applied,              // the record's step was done
  AppliedWithWarning,   // applied, but the new file's date/time could not be set (a warning
                        // row): later patches, which look for that date/time, may skip it
  RecoveredAndApplied,  // an interrupted earlier run was finished first (the backup put
                        // back, with a warning row), then the record applied
  UpToDate,             // the record's result is there already (content checks): a patch
                        // run again, or after an interrupted run; nothing was changed
  SkippedOtherVersion,  // the file is not the version the record was made for: left alone,
                        // with a warning row
  Failed,               // an error row: the record's step was not done
  Ignored,              // a record of unknown type, passed over without a word
  NotThisVersion,       // an alternative made for another old version of a file than the
                        // one installed (another record of its group acts): passed over
                        // without a word
};
