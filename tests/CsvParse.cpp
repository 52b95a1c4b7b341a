#include "CsvParse.h"

#include <QFile>
#include <QStringDecoder>
#include <QtTest>

QList<QStringList> parseCsv(const QByteArray &bytes, QString *error)
{
    QStringDecoder decode(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    const QString text = decode(bytes);
    if (decode.hasError()) {
        *error = QStringLiteral("not UTF-8");
        return {};
    }
    QList<QStringList> records;
    QStringList record;
    QString field;
    qsizetype i = 0;
    const qsizetype n = text.size();
    auto fail = [&](const QString &what) {
        *error = QStringLiteral("%1 at character %2").arg(what).arg(i);
        return QList<QStringList>();
    };
    while (i < n) {
        field.clear();
        if (text.at(i) == QLatin1Char('"')) {
            ++i;
            for (;;) {
                if (i >= n)
                    return fail(QStringLiteral("unclosed quote"));
                if (text.at(i) == QLatin1Char('"')) {
                    if (i + 1 < n && text.at(i + 1) == QLatin1Char('"')) {
                        field += QLatin1Char('"');
                        i += 2;
                        continue;
                    }
                    ++i;
                    break;
                }
                field += text.at(i++);
            }
        } else {
            while (i < n && text.at(i) != QLatin1Char(',') && text.at(i) != QLatin1Char('\r') &&
                   text.at(i) != QLatin1Char('\n')) {
                if (text.at(i) == QLatin1Char('"'))
                    return fail(QStringLiteral("quote in an unquoted field"));
                field += text.at(i++);
            }
        }
        record << field;
        if (i < n && text.at(i) == QLatin1Char(',')) {
            ++i;
            if (i == n)
                return fail(QStringLiteral("no line end after the last field"));
            continue;
        }
        if (text.mid(i, 2) != QLatin1String("\r\n"))
            return fail(QStringLiteral("no CR LF after a record"));
        i += 2;
        records << record;
        record.clear();
    }
    return records;
}

QList<QStringList> readCsvFile(const QString &fileName)
{
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly)) {
        QTest::qFail(qPrintable(QStringLiteral("cannot open %1").arg(fileName)), __FILE__, __LINE__);
        return {};
    }
    QString error;
    const QList<QStringList> records = parseCsv(file.readAll(), &error);
    if (!error.isEmpty())
        QTest::qFail(qPrintable(QStringLiteral("%1 does not read as CSV: %2").arg(fileName, error)), __FILE__, __LINE__);
    return records;
}
