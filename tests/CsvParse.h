#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

// Reads a CSV file back strictly as RFC 4180 writes it, to check what an
// export wrote: UTF-8, records ended by CR LF (the last one too), fields
// separated by commas, a field in double quotes holding anything with its
// quotes doubled. Anything else (a bare CR or LF outside quotes, a quote in
// an unquoted field, text after a closing quote, a missing last line end,
// invalid UTF-8) fails with a message in `error`.
QList<QStringList> parseCsv(const QByteArray &bytes, QString *error);

// The file's records, failing the calling test when it does not read.
QList<QStringList> readCsvFile(const QString &fileName);
