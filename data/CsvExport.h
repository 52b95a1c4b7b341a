#pragma once

#include <QString>
#include <QStringList>
#include <functional>

class TRecordReader;

// Writes records to a CSV file (CsvText): a header row of column titles,
// then one line a record. A number column is written as the shortest text
// of its exact value, a date as ISO text, a null as an empty field.
namespace CsvExport {

// Told how many records are written so far, every few thousand records;
// returns false to cancel.
using Progress = std::function<bool(qint64 written)>;

// Writes `titles` and every record `reader` gives to `fileName`. The file
// appears whole or not at all: the lines go to a temporary file in the same
// folder, which takes the name only once the last record is written, so a
// cancel or an error leaves no partial file and a file already there as it
// was. Returns false when cancelled. Throws EDatabaseError for an error of
// the engine (a stored value that does not fit its field, say) or of the
// file.
bool write(TRecordReader &reader, const QStringList &titles, const QString &fileName,
           const Progress &progress = {});

// How many records go between two reports of progress.
inline constexpr int ProgressStep = 4096;

} // namespace CsvExport
