#include "RecordValues.h"

bool TRecordValues::isComplete() const
{
    for (const Slot &s : m_slots)
        if (s.kind == Unread)
            return false;
    return true;
}

bool TRecordValues::sameValue(int i, const TRecordValues &other) const
{
    if (i >= size() || i >= other.size())
        return false;
    const Slot &a = m_slots[i];
    const Slot &b = other.m_slots[i];
    if (a.kind != b.kind)
        return false;
    switch (a.kind) {
    case Null:
        return true;
    case Unread:
        return false;
    case Double:
        return a.d == b.d;
    case Int:
    case Date:
        return a.n == b.n;
    case Text:
        return QByteArrayView(m_text.constData() + a.n, a.bytes) ==
               QByteArrayView(other.m_text.constData() + b.n, b.bytes);
    }
    return false;
}

void TRecordValues::resize(int n)
{
    m_slots.resize(n);
}

QVariant TRecordValues::at(int i) const
{
    const Slot &s = m_slots[i];
    switch (s.kind) {
    case Null:
    case Unread:
        return QVariant();
    case Double:
        return s.d;
    case Int:
        return int(s.n);
    case Date:
        return QDate::fromJulianDay(s.n);
    case Text:
        return QString::fromUtf8(m_text.constData() + s.n, s.bytes);
    }
    return QVariant();
}

void TRecordValues::set(int i, const QVariant &v)
{
    if (i >= size())
        resize(i + 1);
    if (!v.isValid() || v.isNull()) {
        setNull(i);
        return;
    }
    switch (v.metaType().id()) {
    case QMetaType::Double:
    case QMetaType::Float:
        setDouble(i, v.toDouble());
        return;
    case QMetaType::Int:
    case QMetaType::LongLong:
    case QMetaType::UInt:
    case QMetaType::ULongLong:
        setInt(i, v.toLongLong());
        return;
    case QMetaType::QDate:
        setDate(i, v.toDate());
        return;
    default: {
        const QByteArray utf8 = v.toString().toUtf8();
        setText(i, utf8.constData(), int(utf8.size()));
        return;
    }
    }
}

void TRecordValues::setDouble(int i, double v)
{
    m_slots[i].kind = Double;
    m_slots[i].d = v;
}

void TRecordValues::setInt(int i, qint64 v)
{
    m_slots[i].kind = Int;
    m_slots[i].n = v;
}

void TRecordValues::setDate(int i, const QDate &d)
{
    if (!d.isValid()) {
        setNull(i);
        return;
    }
    m_slots[i].kind = Date;
    m_slots[i].n = d.toJulianDay();
}

void TRecordValues::setText(int i, const char *utf8, int bytes)
{
    m_slots[i].kind = Text;
    m_slots[i].n = m_text.size();
    m_slots[i].bytes = bytes;
    m_text.append(utf8, bytes);
}
