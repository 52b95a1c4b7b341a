#include "TField.h"

#include "EDatabaseError.h"
#include "FieldText.h"
#include "TDataSet.h"

TField::TField(TDataSet *dataSet, const QString &fieldName, TFieldType type, TFieldKind kind)
    : m_dataSet(dataSet), m_fieldName(fieldName), m_dataType(type), m_fieldKind(kind)
{
    if (m_dataSet)
        m_dataSet->addField(this);
}

TField::~TField()
{
    if (m_dataSet)
        m_dataSet->removeField(this);
}

void TField::setDisplayLabel(const QString &label)
{
    if (label == m_displayLabel)
        return;
    m_displayLabel = label;
    if (m_dataSet)
        m_dataSet->dataEvent(TDataEvent::LayoutChange);
}

void TField::setDisplayWidth(int width)
{
    if (width == m_displayWidth)
        return;
    m_displayWidth = width;
    if (m_dataSet)
        m_dataSet->dataEvent(TDataEvent::LayoutChange);
}

void TField::setVisible(bool visible)
{
    if (visible == m_visible)
        return;
    m_visible = visible;
    if (m_dataSet)
        m_dataSet->dataEvent(TDataEvent::LayoutChange);
}

int TField::Index() const
{
    return m_dataSet ? int(m_dataSet->Fields().indexOf(const_cast<TField *>(this))) : -1;
}

void TField::setIndex(int index)
{
    if (m_dataSet)
        m_dataSet->moveField(this, index);
}

void TField::setLookup(const QString &keyFields, TDataSet *lookupDataSet, const QString &lookupKeyFields,
                       const QString &lookupResultField)
{
    m_keyFields = keyFields;
    m_lookupDataSet = lookupDataSet;
    m_lookupKeyFields = lookupKeyFields;
    m_lookupResultField = lookupResultField;
}

bool TField::CanModify() const
{
    return !m_readOnly && m_fieldKind == TFieldKind::fkData && m_dataType != TFieldType::AutoInc && m_dataSet &&
           m_dataSet->CanModify();
}

QVariant TField::Value() const
{
    if (!m_dataSet || m_slot < 0 || m_dataSet->IsEmpty())
        return QVariant();
    if (m_fieldKind == TFieldKind::fkLookup)
        return m_dataSet->lookupFieldValue(this);
    return m_dataSet->storedValue(this);
}

bool TField::IsNull() const
{
    const QVariant v = Value();
    return !v.isValid() || v.isNull();
}

double TField::AsFloat() const
{
    const QVariant v = Value();
    return v.isValid() && !v.isNull() ? v.toDouble() : 0.0;
}

int TField::AsInteger() const
{
    const QVariant v = Value();
    if (!v.isValid() || v.isNull())
        return 0;
    if (v.metaType().id() == QMetaType::Double)
        return int(qRound64(v.toDouble()));
    return v.toInt();
}

QDate TField::AsDate() const
{
    const QVariant v = Value();
    return v.isValid() && !v.isNull() ? v.toDate() : QDate();
}

QString TField::DisplayText() const
{
    const QVariant v = Value();
    return v.isValid() && !v.isNull() ? v.toString() : QString();
}

void TField::setValue(const QVariant &value)
{
    if (!m_dataSet)
        return;
    m_dataSet->setFieldValue(this, value.isValid() && !value.isNull() ? normalised(value) : QVariant());
}

void TField::setAsString(const QString &text)
{
    setValue(text);
}

void TField::checkAssignable() const
{
    if (m_dataSet)
        m_dataSet->checkAssignable(this);
}

bool TField::IsValidChar(QChar) const
{
    return true;
}

QString TField::conversionError(const QString &text, const char *kind) const
{
    return QStringLiteral("'%1' is not a valid %2 value for field '%3'").arg(text, QLatin1String(kind), DisplayLabel());
}
