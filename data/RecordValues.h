#pragma once

#include <QByteArray>
#include <QDate>
#include <QVarLengthArray>
#include <QVariant>

// The stored values of one record, kept compactly: numbers and dates inline,
// texts together in one UTF-8 block. A walk through a year of a journal
// reads every column of every record, so a record costs one allocation at
// most, and a value becomes a QVariant only when somebody asks for it.
class TRecordValues
{
public:
    int size() const { return int(m_slots.size()); }
    void resize(int n);

    bool isNull(int i) const { return m_slots[i].kind == Null; }
    // A value the engine has not read yet: a walk reads only the columns
    // somebody has been looking at, and the rest when one is wanted.
    bool isUnread(int i) const { return m_slots[i].kind == Unread; }
    bool isComplete() const;
    // The value as the field kind wants it: double, int, QDate, QString;
    // an invalid QVariant for null.
    QVariant at(int i) const;
    QVariant value(int i) const { return i >= 0 && i < size() ? at(i) : QVariant(); }
    void set(int i, const QVariant &v);
    // Whether slot i holds the same value as slot i of `other`, exactly
    // (an unread value equals nothing).
    bool sameValue(int i, const TRecordValues &other) const;

    void setNull(int i) { m_slots[i].kind = Null; }
    void setUnread(int i) { m_slots[i].kind = Unread; }
    void setDouble(int i, double v);
    void setInt(int i, qint64 v);
    void setDate(int i, const QDate &d);
    void setText(int i, const char *utf8, int bytes);

private:
    enum Kind : quint8 { Null, Double, Int, Date, Text, Unread };
    struct Slot
    {
        Kind kind = Null;
        qint32 bytes = 0;  // Text: its length in m_text
        union {
            double d;
            qint64 n;  // Int value, Date julian day, Text offset
        };
        Slot() : n(0) {}
    };
    QVarLengthArray<Slot, 8> m_slots;
    QByteArray m_text;
};
