#include "CsvExport.h"

#include "CsvText.h"
#include "EDatabaseError.h"
#include "RecordReader.h"

#include <QDir>
#include <QSaveFile>

namespace CsvExport {

namespace {

// Lines are gathered and written in chunks of about this many bytes.
constexpr qsizetype ChunkBytes = 256 * 1024;

[[noreturn]] void fileError(const QSaveFile &file, const QString &fileName)
{
    throw EDatabaseError(QStringLiteral("Cannot write the file %1: %2")
                             .arg(QDir::toNativeSeparators(fileName), file.errorString()));
}

void appendValue(QByteArray &line, TFieldType type, const QVariant &v)
{
    if (!v.isValid() || v.isNull())
        return;
    switch (type) {
    case TFieldType::Float:
        line.append(CsvText::number(v.toDouble()));
        return;
    case TFieldType::Integer:
    case TFieldType::AutoInc:
        line.append(CsvText::integer(v.toLongLong()));
        return;
    case TFieldType::Date:
        line.append(CsvText::date(v.toDate()));
        return;
    case TFieldType::String:
        CsvText::appendField(line, v.toString());
        return;
    }
}

} // namespace

bool write(TRecordReader &reader, const QStringList &titles, const QString &fileName, const Progress &progress)
{
    QSaveFile file(fileName);
    if (!file.open(QIODevice::WriteOnly))
        fileError(file, fileName);
    auto flush = [&](QByteArray &chunk) {
        if (file.write(chunk) != chunk.size())
            fileError(file, fileName);
        chunk.clear();
    };

    QByteArray chunk;
    chunk.reserve(ChunkBytes + 4096);
    for (qsizetype i = 0; i < titles.size(); ++i) {
        if (i > 0)
            chunk.append(CsvText::Separator);
        CsvText::appendField(chunk, titles.at(i));
    }
    chunk.append(CsvText::LineEnd);

    const int columns = reader.columnCount();
    qint64 written = 0;
    // An error below leaves `file` uncommitted: its temporary file goes
    // with it, and nothing takes the name.
    while (reader.next()) {
        for (int c = 0; c < columns; ++c) {
            if (c > 0)
                chunk.append(CsvText::Separator);
            appendValue(chunk, reader.columnType(c), reader.value(c));
        }
        chunk.append(CsvText::LineEnd);
        if (chunk.size() >= ChunkBytes)
            flush(chunk);
        if (++written % ProgressStep == 0 && progress && !progress(written)) {
            file.cancelWriting();
            return false;
        }
    }
    flush(chunk);
    if (progress && !progress(written)) {
        file.cancelWriting();
        return false;
    }
    if (!file.commit())
        fileError(file, fileName);
    return true;
}

} // namespace CsvExport
