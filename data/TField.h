#pragma once

#include "FieldTypes.h"

#include <QDate>
#include <QString>
#include <QVariant>

class TDataSet;

enum class TFieldKind { fkData, fkLookup };
enum class TAlignment { taLeftJustify, taRightJustify, taCenter };

// One field of a dataset: its settings (label, width, visibility, position),
// its value in the dataset's current record, and its text forms. Stored
// fields read and write the record; lookup fields show a value of another
// table, worked out again every time a record is read or changed.
//
// Values are read from the record the dataset currently presents (the
// current record, or the row a grid is drawing) and written to the current
// record only, which must be in edit or insert state.
class TField
{
    Q_DISABLE_COPY(TField)

public:
    virtual ~TField();

    TDataSet *DataSet() const { return m_dataSet; }
    const QString &FieldName() const { return m_fieldName; }
    TFieldType DataType() const { return m_dataType; }
    TFieldKind FieldKind() const { return m_fieldKind; }

    // The label shown to the user; the field name when none is set.
    QString DisplayLabel() const { return m_displayLabel.isEmpty() ? m_fieldName : m_displayLabel; }
    void setDisplayLabel(const QString &label);
    int DisplayWidth() const { return m_displayWidth; }
    void setDisplayWidth(int width);
    bool Visible() const { return m_visible; }
    void setVisible(bool visible);
    // Position in the dataset's field order.
    int Index() const;
    void setIndex(int index);
    bool ReadOnly() const { return m_readOnly; }
    void setReadOnly(bool readOnly) { m_readOnly = readOnly; }
    int Size() const { return m_size; }
    void setSize(int size) { m_size = size; }
    bool Calculated() const { return false; }
    TAlignment Alignment() const { return isNumericType(m_dataType) ? TAlignment::taRightJustify : TAlignment::taLeftJustify; }

    // Lookup definition (FieldKind fkLookup).
    const QString &KeyFields() const { return m_keyFields; }
    TDataSet *LookupDataSet() const { return m_lookupDataSet; }
    const QString &LookupKeyFields() const { return m_lookupKeyFields; }
    const QString &LookupResultField() const { return m_lookupResultField; }
    void setLookup(const QString &keyFields, TDataSet *lookupDataSet, const QString &lookupKeyFields,
                   const QString &lookupResultField);

    // Whether a control may change the field's value: a stored, writable
    // field of a dataset that can be modified.
    bool CanModify() const;

    // The value: an invalid QVariant when null.
    QVariant Value() const;
    bool IsNull() const;
    QString AsString() const { return DisplayText(); }
    double AsFloat() const;       // null reads as 0
    int AsInteger() const;        // null reads as 0
    QDate AsDate() const;         // null reads as an invalid date

    // Text forms: the same for display and editing (no field has a format).
    virtual QString DisplayText() const;
    QString Text() const { return DisplayText(); }

    // Assignment. Throws EDatabaseError when the dataset is not in edit or
    // insert state, the field cannot be written, or the text does not convert
    // (the field keeps its previous value then).
    void setValue(const QVariant &value);
    virtual void setAsString(const QString &text);
    void setText(const QString &text) { setAsString(text); }
    void setAsFloat(double v) { setValue(v); }
    void setAsInteger(int v) { setValue(v); }
    void setAsDate(const QDate &d) { setValue(d.isValid() ? QVariant(d) : QVariant()); }
    void Clear() { setValue(QVariant()); }

    // Whether a character may be typed into an editor of this field.
    virtual bool IsValidChar(QChar c) const;

    // Throws when the field may not be assigned now: its dataset is not in
    // edit or insert state, or the field is read-only or a lookup. Text
    // assignment checks this before reading the text.
    void checkAssignable() const;

    // The message of a failed text conversion.
    QString conversionError(const QString &text, const char *kind) const;

protected:
    TField(TDataSet *dataSet, const QString &fieldName, TFieldType type, TFieldKind kind);

    // Converts a value to the field's kind (QDate, double, int, QString).
    virtual QVariant normalised(const QVariant &value) const { return value; }

private:
    friend class TDataSet;

    TDataSet *m_dataSet;
    QString m_fieldName;
    TFieldType m_dataType;
    TFieldKind m_fieldKind;
    QString m_displayLabel;
    int m_displayWidth = 10;
    bool m_visible = true;
    bool m_readOnly = false;
    int m_size = 0;

    QString m_keyFields;
    TDataSet *m_lookupDataSet = nullptr;
    QString m_lookupKeyFields;
    QString m_lookupResultField;

    int m_slot = -1;  // where its value lives in a record buffer; -1 while unbound
};
